#include "Descriptions.h"

#include <cstdio>
#include <cstdlib>

namespace kvdoc {

Descriptions::Descriptions() {
  for (const TextTable* table : {&ComponentTexts(), &PropertyObjectTexts(), &EnumerationTexts()}) {
    for (const auto& [key, text] : *table) {
      if (!texts_.emplace(key, text).second) {
        std::fprintf(stderr, "kvdoc: the description of %s is given twice\n", key);
        std::exit(1);
      }
    }
  }
}

const std::string* Descriptions::Find(const std::string& key) {
  const auto it = texts_.find(key);
  if (it == texts_.end()) return nullptr;
  used_.insert(key);
  return &it->second;
}

std::vector<std::string> Descriptions::Unused() const {
  std::vector<std::string> keys;
  for (const auto& [key, text] : texts_) {
    if (used_.count(key) == 0) keys.push_back(key);
  }
  return keys;
}

}  // namespace kvdoc
