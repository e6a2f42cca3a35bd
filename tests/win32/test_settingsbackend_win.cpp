#include "platform/wintext.h"

#include <gtest/gtest.h>
#include <string>

using platform::toUtf16;
using platform::toUtf8;

TEST(WinText, ConvertsLosslesslyAndReplacesInvalidUtf8)
{
    struct Case
    {
        std::string utf8;
        std::wstring utf16;
    };
    // Both directions, each the other's inverse: edges of each sequence length, a pair, and
    // unpaired surrogates (WTF-8) alone, at the end, and in the wrong order.
    const Case lossless[] = {
        {"", L""},
        {std::string("a\0b", 3), std::wstring(L"a\0b", 3)},
        {"\x7f\xc2\x80\xdf\xbf", L"\x7f\x80\x7ff"},
        {"\xe0\xa0\x80\xef\xbf\xbf", L"\x800\xffff"},
        {"\xf0\x9f\x99\x82 \xf4\x8f\xbf\xbf", L"\xd83d\xde42 \xdbff\xdfff"},
        {"\xed\xa0\x80", L"\xd800"},
        {"x\xed\xbf\xbf", L"x\xdfff"},
        {"\xed\xb0\x80\xed\xa0\x80", L"\xdc00\xd800"},
    };
    for (const Case &c : lossless) {
        SCOPED_TRACE(testing::PrintToString(c.utf8));
        EXPECT_EQ(toUtf16(c.utf8), c.utf16);
        EXPECT_EQ(toUtf8(c.utf16), c.utf8);
    }
    // One U+FFFD for each maximal piece that could start a sequence, then the next byte afresh.
    const Case invalid[] = {
        {"\x80", L"\xfffd"},                               // lone continuation byte
        {"a\xc3", L"a\xfffd"},                             // cut short at the end
        {"\xe2\x82!", L"\xfffd!"},                         // cut short by ASCII
        {"\xc0\xaf", L"\xfffd\xfffd"},                     // overlong '/'
        {"\xe0\x80\x80", L"\xfffd\xfffd\xfffd"},           // overlong NUL
        {"\xf4\x90\x80\x80", L"\xfffd\xfffd\xfffd\xfffd"}, // past U+10FFFF
        {"\xf0\x9f\x99", L"\xfffd"},                       // emoji without its last byte
        {"\xfe\xff", L"\xfffd\xfffd"},
    };
    for (const Case &c : invalid) {
        SCOPED_TRACE(testing::PrintToString(c.utf8));
        EXPECT_EQ(toUtf16(c.utf8), c.utf16);
    }
}
