#include "web/pages/assets.h"

namespace migprof::web {

const Asset* FindAsset(std::string_view name) {
  for (const Asset& asset : Assets()) {
    if (asset.name == name) return &asset;
  }
  return nullptr;
}

std::string StaticUrl(std::string_view name) {
  std::string full = "static/" + std::string(name);
  const Asset* asset = FindAsset(full);
  if (asset == nullptr) return "/static/missing/" + std::string(name);
  return "/static/" + std::string(asset->hash) + "/" + std::string(name);
}

}  // namespace migprof::web
