# Writes the fax font resource as a C++ array: cmake -DINPUT=... -DOUTPUT=... -P EmbedFaxFont.cmake
file(READ ${INPUT} hex HEX)
string(LENGTH "${hex}" digits)
math(EXPR size "${digits} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "((0x[0-9a-f][0-9a-f],){16})" "\\1\n" bytes "${bytes}")
file(WRITE ${OUTPUT} "// Generated from resources/faximage/faxfont.bin; do not edit.\n#include <cstddef>\n\nextern const unsigned char kFaxFontResource[];\nextern const std::size_t kFaxFontResourceSize;\n\nconst unsigned char kFaxFontResource[] = {\n${bytes}};\nconst std::size_t kFaxFontResourceSize = ${size};\n")
