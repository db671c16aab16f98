#pragma once

// libexiv2 keeps process-wide state (its XMP toolkit, its log handler, the BMFF switch) that must be set
// up once before any use and from one thread. Every reader and writer of metadata calls this first.

namespace marquelo::media {

// Sets libexiv2 up on first call (thread-safe, idempotent): quiet logging, XMP toolkit ready, BMFF
// containers (HEIF, CR3) readable where the library was built with them.
void startExiv2();

} // namespace marquelo::media
