// The index file's byte layout written out and read back independently of the engine's own
// encoder, for tests that build fixtures from the layout or check what the engine wrote.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace testing_support::ndx {

inline void Put16(std::string& s, size_t at, uint32_t v) {
  for (int i = 0; i < 2; ++i) s[at + i] = static_cast<char>(v >> (8 * i));
}
inline void Put32(std::string& s, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) s[at + i] = static_cast<char>(v >> (8 * i));
}
inline uint32_t Get32(const std::string& s, size_t at) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<uint8_t>(s[at + i]);
  return v;
}
inline uint16_t Get16(const std::string& s, size_t at) {
  return static_cast<uint16_t>(static_cast<uint8_t>(s[at]) |
                               (static_cast<uint8_t>(s[at + 1]) << 8));
}

struct Layout {
  char type;
  uint16_t key_len, keys_per_page, numeric, entry_size;
};

inline std::string HeaderPage(uint32_t root, uint32_t next_free, const Layout& l, uint8_t unique,
                              const std::string& expr, int32_t count, const std::string& stamp) {
  std::string p(512, '\0');
  Put32(p, 0, root);
  Put32(p, 4, next_free);
  p[9] = l.type;
  Put16(p, 12, l.key_len);
  Put16(p, 14, l.keys_per_page);
  Put16(p, 16, l.numeric);
  Put16(p, 18, l.entry_size);
  p[23] = static_cast<char>(unique);
  p.replace(24, expr.size(), expr);
  Put32(p, 488, ~static_cast<uint32_t>(count));
  Put32(p, 492, static_cast<uint32_t>(count));
  p.replace(496, stamp.size(), stamp);
  return p;
}

struct Entry {
  uint32_t child;
  uint32_t rec;
  std::string key;
};

// A node page: key count, entries (child 0 in a leaf), then the right-most child.
inline std::string NodePage(const std::vector<Entry>& entries, uint32_t right, const Layout& l) {
  std::string p(512, '\0');
  Put32(p, 0, static_cast<uint32_t>(entries.size()));
  size_t at = 4;
  for (const Entry& e : entries) {
    Put32(p, at, e.child);
    Put32(p, at + 4, e.rec);
    p.replace(at + 8, e.key.size(), e.key);
    at += l.entry_size;
  }
  Put32(p, at, right);
  return p;
}

inline std::string Padded(const std::string& s, size_t n) {
  return s + std::string(n - s.size(), ' ');
}

// Reads the tree from the root down with the layout above: collects the leaf entries in order
// and the depths of the leaves, and checks every page against the header (key count, child
// pages inside the file) and every inner entry (its key is the greatest key of its subtree,
// its record number 0).
struct Tree {
  explicit Tree(std::string file) : bytes(std::move(file)) {}

  std::string bytes;
  uint16_t key_len = Get16(bytes, 12);
  uint16_t entry_size = Get16(bytes, 18);
  // A leaf page, where it stands and what it holds.
  struct Leaf {
    uint32_t page;
    int depth;
    int child_pos;  // its place among its parent's children (0-based)
    int siblings;   // the parent's number of children (1 for the root)
    std::vector<Entry> entries;
  };
  std::vector<Entry> leaves;
  std::set<int> leaf_depths;
  std::vector<Leaf> leaf_pages;

  std::string Walk(uint32_t page, int depth, int child_pos = 0, int siblings = 1) {
    const bool inside = page >= 1 && page < Get32(bytes, 4) && (page + 1) * 512ull <= bytes.size();
    EXPECT_TRUE(inside) << "page " << page;
    EXPECT_LT(depth, 32) << "page " << page;
    if (!inside || depth >= 32) return {};
    const size_t base = static_cast<size_t>(page) * 512;
    const uint32_t count = Get32(bytes, base);
    EXPECT_LE(count, Get16(bytes, 14));
    if (count > Get16(bytes, 14)) return {};
    auto entry = [&](uint32_t i) {
      const size_t at = base + 4 + i * entry_size;
      return Entry{Get32(bytes, at), Get32(bytes, at + 4), bytes.substr(at + 8, key_len)};
    };
    // A leaf: the first entry's child is 0 (an inner page without entries has its right-most
    // child there).
    if (Get32(bytes, base + 4) == 0) {
      leaf_depths.insert(depth);
      leaf_pages.push_back({page, depth, child_pos, siblings, {}});
      for (uint32_t i = 0; i < count; ++i) {
        leaves.push_back(entry(i));
        leaf_pages.back().entries.push_back(entry(i));
      }
      return count ? entry(count - 1).key : std::string();
    }
    for (uint32_t i = 0; i < count; ++i) {
      const Entry e = entry(i);
      EXPECT_EQ(e.rec, 0u) << "inner entries name no record: page " << page << " entry " << i;
      EXPECT_EQ(Walk(e.child, depth + 1, static_cast<int>(i), static_cast<int>(count) + 1), e.key)
          << "page " << page << " entry " << i;
    }
    return Walk(Get32(bytes, base + 4 + count * entry_size), depth + 1, static_cast<int>(count),
                static_cast<int>(count) + 1);
  }
};

}  // namespace testing_support::ndx
