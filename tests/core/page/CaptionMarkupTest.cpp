// A caption's markup on a Modern page: inline markup takes effect, nothing else can break the page.
#include "core/page/CaptionMarkup.h"

#include <gtest/gtest.h>

namespace marquelo {
namespace {

struct Row {
    const char* caption;
    const char* html;
    const char* alt;
};

TEST(CaptionMarkup, KeepsInlineMarkupShowsTheRestAndClosesWhatIsOpen)
{
    const Row rows[] = {
        {"plain", "plain", "plain"},
        {"<b>bold</b> and <I>italic</I>", "<b>bold</b> and <i>italic</i>", "bold and italic"},
        {"<em>a<br/>b</em>", "<em>a<br>b</em>", "a b"},
        {"<strong>never closed", "<strong>never closed</strong>", "never closed"},
        {"<b><i>crossed</b></i>", "<b><i>crossed</i></b>", "crossed"},
        {"stray</b> close", "stray close", "stray close"},
        {"<div>block</div>", "&lt;div&gt;block&lt;/div&gt;", "block"},
        {"<table><tr><td>x", "&lt;table&gt;&lt;tr&gt;&lt;td&gt;x", "x"},
        {"</main></body>", "&lt;/main&gt;&lt;/body&gt;", ""},
        {"<!-- hidden -->", "&lt;!-- hidden --&gt;", "&lt;!-- hidden --&gt;"},
        {"a < b > c", "a &lt; b &gt; c", "a &lt; b &gt; c"},
        {"<b unclosed", "&lt;b unclosed", "&lt;b unclosed"},
        {"<span class=\"x\" onclick=\"evil()\">s</span>", "<span>s</span>", "s"},
        {"<a href=\"page 2.html\" onclick=\"x\">link</a>", "<a href=\"page%202.html\">link</a>", "link"},
        {"<a href='x.html?a=1&b=2'>q</a>", "<a href=\"x.html?a=1&amp;b=2\">q</a>", "q"},
        {"<a href=\" JavaScript:alert(1)\">no</a>", "<a>no</a>", "no"},
        {"<a href=a.html>one <a href=b.html>two</a></a>", "<a href=\"a.html\">one two</a>", "one two"},
        {"Tom &amp; Jerry & co", "Tom &amp; Jerry &amp; co", "Tom &amp; Jerry &amp; co"},
        {"&copy; &#169; &#xA9; &bogus; &#0; &#xD800;", "&copy; &#169; &#xA9; &amp;bogus; &amp;#0; &amp;#xD800;",
         "&copy; &#169; &#xA9; &amp;bogus; &amp;#0; &amp;#xD800;"},
        {"say \"hi\"", "say &quot;hi&quot;", "say &quot;hi&quot;"},
        {"  spaced \t out  ", "  spaced \t out  ", "spaced out"},
        {"bell\x07", "bell ", "bell"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.caption);
        EXPECT_EQ(inlineCaptionHtml(row.caption), row.html);
        EXPECT_EQ(captionAttributeText(row.caption), row.alt);
    }
}

// A link's address is judged as the browser reads it: after its references are decoded and the blanks
// and controls a browser drops are gone. What is kept is written so it decodes to exactly that.
TEST(CaptionMarkup, NoSpellingOfAScriptAddressSurvives)
{
    const char* refused[] = {
        "&#106;avascript:alert(1)",
        "&#x6A;avascript:alert(1)",
        "&#X6a;avascript:alert(1)",
        "&#0000106avascript:alert(1)",
        "java&#9;script:alert(1)",
        "java&#x0A;script:alert(1)",
        "java\tscript:alert(1)",
        "javascript&#58;alert(1)",
        "javascript&#x3a;alert(1)",
        "\x01 javascript:alert(1)",
        "JaVaScRiPt:alert(1)",
        "vbscript:msgbox(1)",
        "data:text/html,<script>alert(1)</script>",
        "file:///etc/passwd",
        "&nbsp;javascript:alert(1)",
    };
    for (const char* href : refused) {
        SCOPED_TRACE(href);
        EXPECT_EQ(inlineCaptionHtml(std::string("<a href=\"") + href + "\">x</a>"), "<a>x</a>");
    }

    const Row kept[] = {
        {"<a href=\"https://example.org/?a=1&amp;b=2\">x</a>", "<a href=\"https://example.org/?a=1&amp;b=2\">x</a>",
         ""},
        {"<a href=\"HTTP://example.org\">x</a>", "<a href=\"HTTP://example.org\">x</a>", ""},
        {"<a href=\"mailto:me@example.org\">x</a>", "<a href=\"mailto:me@example.org\">x</a>", ""},
        {"<a href=\"../day 2.html#top\">x</a>", "<a href=\"../day%202.html#top\">x</a>", ""},
        {"<a href=\"//example.org/a:b\">x</a>", "<a href=\"//example.org/a:b\">x</a>", ""},
        {"<a href=\"page.html?q=a:b\">x</a>", "<a href=\"page.html?q=a:b\">x</a>", ""},
        {"<a href=\"&#112;age.html\">x</a>", "<a href=\"page.html\">x</a>", ""},
        {"<a href=\"x&copy\">x</a>", "<a href=\"x&amp;copy\">x</a>", ""},
    };
    for (const Row& row : kept) {
        SCOPED_TRACE(row.caption);
        EXPECT_EQ(inlineCaptionHtml(row.caption), row.html);
    }
}

TEST(CaptionMarkup, InsideALinkCaptionLinksKeepOnlyTheirText)
{
    EXPECT_EQ(inlineCaptionHtml("<a href=\"x\">my</a> <b>clip", true), "my <b>clip</b>");
}

} // namespace
} // namespace marquelo
