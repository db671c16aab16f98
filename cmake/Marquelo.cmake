# Shared compile settings and small helpers used by every subsystem's CMakeLists.

add_library(marquelo_options INTERFACE)
target_compile_options(marquelo_options INTERFACE -Wall -Wextra -Wpedantic -Wnon-virtual-dtor
  $<$<CXX_COMPILER_ID:GNU>:-Wshadow=local> $<$<CXX_COMPILER_ID:Clang>:-Wshadow-uncaptured-local>)
if(MARQUELO_WERROR)
  target_compile_options(marquelo_options INTERFACE -Werror)
endif()
if(MARQUELO_ASAN AND MARQUELO_TSAN)
  message(FATAL_ERROR "MARQUELO_ASAN and MARQUELO_TSAN cannot be combined")
endif()
if(MARQUELO_ASAN)
  target_compile_options(marquelo_options INTERFACE -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  target_link_options(marquelo_options INTERFACE -fsanitize=address,undefined)
endif()
if(MARQUELO_TSAN)
  target_compile_options(marquelo_options INTERFACE -fsanitize=thread -fno-omit-frame-pointer)
  target_link_options(marquelo_options INTERFACE -fsanitize=thread)
endif()
if(MARQUELO_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "MARQUELO_FUZZ needs clang: configure with CC=clang CXX=clang++")
  endif()
  # Libraries get the coverage hooks; only the fuzz targets link libFuzzer's main.
  target_compile_options(marquelo_options INTERFACE -fsanitize=fuzzer-no-link,address,undefined
    -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  target_link_options(marquelo_options INTERFACE -fsanitize=address,undefined)
endif()
# What Debian builds its packages with (dpkg-buildflags' hardening=+all); sanitizer builds instrument
# the same calls their own way. Fortified functions need the optimiser, so a Debug build goes without.
if(MARQUELO_HARDENING AND NOT MARQUELO_ASAN AND NOT MARQUELO_TSAN AND NOT MARQUELO_FUZZ)
  target_compile_options(marquelo_options INTERFACE -fstack-protector-strong -fstack-clash-protection
    "$<$<NOT:$<CONFIG:Debug>>:-U_FORTIFY_SOURCE;-D_FORTIFY_SOURCE=2>")
  target_link_options(marquelo_options INTERFACE -Wl,-z,relro -Wl,-z,now)
endif()
target_compile_definitions(marquelo_options INTERFACE
  QT_NO_KEYWORDS
  MARQUELO_VERSION_MINOR=16)
# Where the checkout is, for tests and benchmarks only: kept off the program's own command lines so
# that two checkouts compile the program identically (and share the compiler cache).
add_library(marquelo_paths INTERFACE)
target_compile_definitions(marquelo_paths INTERFACE
  MARQUELO_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
  MARQUELO_CORPUS_DIR="${MARQUELO_CORPUS_DIR}")

# marquelo_library(NAME DIR LIBS...): a static library of every .cpp/.h/.qrc/.ui below DIR.
# Globbing lets each subsystem add files without touching shared build files. A folder named `vips`
# holds a module loaded at run time (see src/CMakeLists.txt), never part of the library.
function(marquelo_library name dir)
  file(GLOB_RECURSE srcs CONFIGURE_DEPENDS
    ${dir}/*.cpp ${dir}/*.h ${dir}/*.qrc ${dir}/*.ui)
  list(FILTER srcs INCLUDE REGEX "\\.(cpp|h|qrc|ui)$")
  list(FILTER srcs EXCLUDE REGEX "/vips/")
  set(cpps ${srcs})
  list(FILTER cpps INCLUDE REGEX "\\.cpp$")
  if(cpps)
    add_library(${name} STATIC ${srcs})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} PUBLIC marquelo_options ${ARGN})
  else()
    # A room with no code yet: an interface library so that its dependants still link.
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} INTERFACE marquelo_options ${ARGN})
  endif()
endfunction()

# marquelo_test(NAME DIR LIBS...): one GoogleTest executable of every .cpp below DIR, registered with CTest.
# Tests run on Qt's offscreen platform and with a private settings home, never the user's own.
include(GoogleTest)
function(marquelo_test name dir)
  file(GLOB_RECURSE srcs CONFIGURE_DEPENDS ${dir}/*.cpp ${dir}/*.h ${dir}/*.qrc)
  if(NOT srcs)
    return()
  endif()
  add_executable(${name} ${srcs})
  target_link_libraries(${name} PRIVATE marquelo_test_support ${ARGN})
  # Each case is a test of its own, so CTest names what failed. The cases are listed when the tests run,
  # not at build time (listing starts Qt). The cases of one executable never run at the same time, as
  # when the executable ran them itself: some share a display, a port or a scratch folder by name.
  # The test main picks the offscreen platform itself; one variable only, as the properties are a list.
  # The sanitizer builds run each executable whole (MARQUELO_TEST_CASES=OFF): under their instrumentation
  # a process start costs ten times as much, and a failure there is found by its report anyway.
  # The page tests time a Modern page in Chromium (Lighthouse's performance score): they run alone, so
  # that another test's load on the cores is not counted against the page.
  set(alone FALSE)
  if(name STREQUAL "test_ui_page")
    set(alone TRUE)
  endif()
  # Their Lighthouse check scored well below its bar whenever it ran as a case of its own, and passes run
  # within the whole executable, so they stay one test.
  if(MARQUELO_TEST_CASES AND NOT alone)
    gtest_discover_tests(${name} TEST_PREFIX "${name}." DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120
      PROPERTIES ENVIRONMENT "MARQUELO_BUILD_DIR=${PROJECT_BINARY_DIR}" TIMEOUT 900 RESOURCE_LOCK ${name})
  else()
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES
      ENVIRONMENT "QT_QPA_PLATFORM=offscreen;MARQUELO_BUILD_DIR=${PROJECT_BINARY_DIR}" TIMEOUT 900
      RUN_SERIAL ${alone})
  endif()
endfunction()

# marquelo_check_picture_loaders(): says at configure time which of the photo formats the installed
# libvips (and the libheif under it) cannot read, so a missing loader is found before a user finds it.
function(marquelo_check_picture_loaders)
  find_program(VIPS_PROGRAM vips)
  if(NOT VIPS_PROGRAM)
    message(WARNING "vips (libvips-tools) not found: cannot check which photo formats libvips reads")
    return()
  endif()
  execute_process(COMMAND ${VIPS_PROGRAM} -l foreign OUTPUT_VARIABLE loaders ERROR_QUIET)
  set(missing "")
  foreach(pair "heifload_buffer=HEIF/HEIC/AVIF" "webpload_buffer=WebP" "tiffload_buffer=TIFF"
      "pngload_buffer=PNG" "jxlload_buffer=JPEG XL" "gifload_buffer=GIF" "jpegload_buffer=JPEG")
    string(REPLACE "=" ";" parts "${pair}")
    list(GET parts 0 loader)
    list(GET parts 1 format)
    if(NOT loaders MATCHES "\\(${loader}\\)")
      list(APPEND missing "${format}")
    endif()
  endforeach()
  pkg_get_variable(HEIF_HEVC libheif builtin_h265_decoder)
  pkg_get_variable(HEIF_AV1 libheif builtin_avif_decoder)
  if(HEIF_HEVC STREQUAL "no")
    list(APPEND missing "HEIC (libheif has no HEVC decoder)")
  endif()
  if(HEIF_AV1 STREQUAL "no")
    list(APPEND missing "AVIF (libheif has no AV1 decoder)")
  endif()
  if(missing)
    list(JOIN missing ", " text)
    message(WARNING "The installed libvips cannot read: ${text}. Such photos show the no-picture placeholder.")
  else()
    message(STATUS "Photo loaders: HEIF/HEIC, AVIF, WebP, TIFF, PNG, JPEG XL, GIF and JPEG all present")
  endif()
endfunction()
