// Which charset label a GBK text goes out with. GB2312 is the older, smaller
// set that GBK extends; strict readers of a "gb2312" text reject the
// characters GBK added (們, 題), so those texts are labelled "GBK".
#pragma once

#include <string_view>

namespace kv {

// Whether every character of `text` is ASCII or one of GB 2312: a lead byte
// 0xA1..0xF7 and a trail byte 0xA1..0xFE at an assigned position (rows 10 to
// 15 are empty, rows 2 to 9 have gaps, row 55 ends at 0xF9). A lead byte of
// 0x80 or above takes the next byte as its trail, whatever it is; a lone lead
// byte at the end is no GB2312 character.
bool IsGb2312Text(std::string_view text);

// "gb2312" when GB2312 holds every character of `text`, "GBK" otherwise.
std::string_view ChineseCharset(std::string_view text);

}  // namespace kv
