# Writes the bytes of IN as a C++ array `velmar::common::detail::kStringTableTsv` into OUT.
file(READ "${IN}" hex HEX)
string(LENGTH "${hex}" hexlen)
math(EXPR size "${hexlen} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "(0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,)" "\\1\n" bytes "${bytes}")
file(WRITE "${OUT}.tmp"
"#include <cstddef>\nnamespace velmar::common::detail {\nextern const unsigned char kStringTableTsv[];\nextern const std::size_t kStringTableTsvSize;\nconst unsigned char kStringTableTsv[] = {\n${bytes}0x00};\nconst std::size_t kStringTableTsvSize = ${size};\n}\n")
file(RENAME "${OUT}.tmp" "${OUT}")
