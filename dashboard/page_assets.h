// The page's files (dashboard/page/), embedded into the executable at build time by
// embed_page.cmake, so that the page works on a line without internet.
//
//   PageAsset             one file: the path it is served at, its content type, its bytes
//   FindPageAsset(path)   the file served at path ("/" is /index.html), or nullptr
#pragma once

#include <cstddef>
#include <string>

struct PageAsset {
  const char* path;
  const char* contentType;
  const unsigned char* bytes;
  size_t size;
};

extern const PageAsset kPageAssets[];
extern const size_t kPageAssetCount;

const PageAsset* FindPageAsset(const std::string& path);
