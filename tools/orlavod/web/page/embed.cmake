# Writes OUT, a C++ source holding the page's files (FILES, a comma-separated
# list of names in DIR) as byte arrays, each under its path on the server.
# Run at build time (cmake -P), so an edited file is taken up by the next build.
string(REPLACE "," ";" files "${FILES}")
set(arrays "")
set(table "")
set(index 0)
foreach(name IN LISTS files)
  file(READ "${DIR}/${name}" hex HEX)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "'\\\\x\\1'," bytes "${hex}")
  string(APPEND arrays "constexpr char kFile${index}[] = {${bytes}};\n")
  string(APPEND table "    {\"/${name}\", {kFile${index}, sizeof kFile${index}}},\n")
  math(EXPR index "${index} + 1")
endforeach()
file(WRITE "${OUT}" "// Generated from tools/orlavod/web/page/ by embed.cmake.
#include \"web_page_files.h\"

namespace orlavo::tools {

namespace {
${arrays}
constexpr PageFile kFiles[] = {
${table}};
}  // namespace

std::span<const PageFile> pageFiles()
{
    return kFiles;
}

}  // namespace orlavo::tools
")
