#include "textcodec.h"

#include <gtest/gtest.h>

using platform::BadText;

// Each policy does what it says with what is not text, and nothing else: valid text goes both
// ways unchanged, whatever the policy.
TEST(TextCodec, EachPolicyKeepsReplacesOrRejectsWhatIsNotText)
{
    const std::u16string bad(6, u'\xfffd');
    // UTF-8, then as read with BadText::Keep and with BadText::Replace; Reject fails where the
    // text is not valid.
    const std::tuple<std::string, std::u16string, std::u16string> cases[] = {
        // The edges of each sequence length.
        {std::string("\0\x7f\xc2\x80\xdf\xbf\xe0\xa0\x80\xef\xbf\xbf\xf4\x8f\xbf\xbf", 16),
         std::u16string(u"\0\x7f\x80\x7ff\x800\xffff\xdbff\xdfff", 8),
         std::u16string(u"\0\x7f\x80\x7ff\x800\xffff\xdbff\xdfff", 8)},
        // Encoded surrogates (WTF-8): kept as surrogates, else one U+FFFD for each byte.
        {"\xed\xb0\x80\xed\xa0\x80", u"\xdc00\xd800", bad},
        {"a\x80\xc3", u"a\xfffd\xfffd", u"a\xfffd\xfffd"}, // stray, and cut short
        {"\xc0\xaf\xf4\x90\x80\x80", bad, bad},            // overlong, past U+10FFFF
        {"\xf0\x9f\x99!", u"\xfffd!", u"\xfffd!"},         // cut short by a byte of its own
    };
    for (const auto &[utf8, kept, replaced] : cases) {
        SCOPED_TRACE(testing::PrintToString(utf8));
        EXPECT_EQ(platform::utf16From(utf8, BadText::Keep), kept);
        EXPECT_EQ(platform::utf16From(utf8, BadText::Replace), replaced);
        const bool valid = replaced.find(u'\xfffd') == std::u16string::npos;
        EXPECT_EQ(platform::utf16From(utf8, BadText::Reject),
                  valid ? std::optional(replaced) : std::nullopt);
        if (kept.find(u'\xfffd') == std::u16string::npos) { // lossless from UTF-16 and back
            EXPECT_EQ(platform::utf8From(kept, BadText::Keep), utf8);
            EXPECT_EQ(platform::utf8From(kept, BadText::Reject),
                      valid ? std::optional(utf8) : std::nullopt);
            EXPECT_EQ(platform::utf8From(kept, BadText::Replace),
                      valid ? utf8 : "\xef\xbf\xbd\xef\xbf\xbd");
        }
    }
}
