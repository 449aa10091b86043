# Turns the page's files into a C++ source of byte arrays, at build time:
#   cmake -DOUTPUT=page_assets_data.cpp -DPAGE_DIR=dir -DFILES=index.html,... -P embed_page.cmake
# (FILES separated by commas). Each file becomes one PageAsset of kPageAssets, served at "/" + its name.
set(types_html "text/html; charset=utf-8")
set(types_css "text/css; charset=utf-8")
set(types_js "text/javascript; charset=utf-8")
set(types_svg "image/svg+xml")

string(REPLACE "," ";" FILES "${FILES}")
set(arrays "")
set(table "")
set(index 0)
foreach(name IN LISTS FILES)
  file(READ "${PAGE_DIR}/${name}" hex HEX)
  string(LENGTH "${hex}" hex_length)
  math(EXPR size "${hex_length} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  string(REGEX REPLACE "(0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,)"
         "\\1\n" bytes "${bytes}")
  get_filename_component(extension "${name}" LAST_EXT)
  string(SUBSTRING "${extension}" 1 -1 extension)
  if(NOT DEFINED types_${extension})
    message(FATAL_ERROR "embed_page.cmake: no content type for ${name}")
  endif()
  string(APPEND arrays "const unsigned char kAsset${index}[] = {\n${bytes}0};\n")
  string(APPEND table "  {\"/${name}\", \"${types_${extension}}\", kAsset${index}, ${size}},\n")
  math(EXPR index "${index} + 1")
endforeach()

set(source "// Made by dashboard/embed_page.cmake from dashboard/page/; not edited by hand.
#include \"dashboard/page_assets.h\"

namespace {
${arrays}}  // namespace

const PageAsset kPageAssets[] = {
${table}};
const size_t kPageAssetCount = ${index};
")
# Written only when it changed, so that an unchanged page compiles nothing again.
if(EXISTS "${OUTPUT}")
  file(READ "${OUTPUT}" old)
endif()
if(NOT old STREQUAL source)
  file(WRITE "${OUTPUT}" "${source}")
endif()
