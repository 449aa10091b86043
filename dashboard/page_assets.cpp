#include "dashboard/page_assets.h"

const PageAsset* FindPageAsset(const std::string& path) {
  const std::string wanted = path == "/" ? "/index.html" : path;
  for (size_t i = 0; i < kPageAssetCount; ++i) {
    if (wanted == kPageAssets[i].path) return &kPageAssets[i];
  }
  return nullptr;
}
