#pragma once

#include <string_view>

namespace lw {

// Whether the file name `name` matches `pattern` as the map list and
// --exclude read patterns: '*' takes any run of bytes, '?' any one byte,
// "[abc]", "[a-z]" and "[!abc]" one byte of (or not of) a set; letters match
// in either case, as file names do on Windows. A '[' without its ']' is a
// plain '['.
bool MatchesFilePattern(std::string_view name, std::string_view pattern);

}  // namespace lw
