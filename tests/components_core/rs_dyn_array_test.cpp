#include "components/core/rs_dyn_array.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace components {
namespace {

std::vector<int> Items(const TrsDynArray& a) {
  std::vector<int> out;
  for (std::size_t i = 0; i < a.Count(); ++i) {
    int v;
    std::memcpy(&v, a.ItemPtr(static_cast<std::ptrdiff_t>(i)), sizeof v);
    out.push_back(v);
  }
  return out;
}

void Add(TrsDynArray& a, int v) { a.Add(&v); }

TEST(TrsDynArray, ItemSizeMustLieBetween1And65519) {
  struct Case {
    std::ptrdiff_t size;
    bool ok;
    const char* name;
  };
  const Case cases[] = {{0, false, "zero"},
                        {-1, false, "negative"},
                        {65520, false, "too big"},
                        {1, true, "smallest"},
                        {65519, true, "largest"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.ok) {
      TrsDynArray a(c.size);
      EXPECT_EQ(a.ItemSize(), static_cast<std::size_t>(c.size));
      EXPECT_EQ(a.Count(), 0u);
      EXPECT_EQ(a.Data(), nullptr);
    } else {
      try {
        TrsDynArray a(c.size);
        ADD_FAILURE() << "no error";
      } catch (const EDynArrayCreateError& e) {
        EXPECT_STREQ(e.what(), "Dynamic Array: Invalid Item Size");
      }
    }
  }
}

TEST(TrsDynArray, AddInsertDeleteKeepItemOrderAndExactSize) {
  TrsDynArray a(sizeof(int));
  Add(a, 10);
  Add(a, 30);
  int v = 5;
  a.Insert(0, &v);
  v = 20;
  a.Insert(2, &v);
  EXPECT_EQ(Items(a), (std::vector<int>{5, 10, 20, 30}));
  EXPECT_EQ(a.Size(), 4 * sizeof(int));

  a.Delete(1);
  EXPECT_EQ(Items(a), (std::vector<int>{5, 20, 30}));
  a.Delete(7);  // beyond the end: the last item goes
  EXPECT_EQ(Items(a), (std::vector<int>{5, 20}));
  EXPECT_EQ(a.Size(), 2 * sizeof(int));
}

TEST(TrsDynArray, DeletingTheOnlyItemFreesTheBlockAndAddStartsAFreshOne) {
  TrsDynArray a(3);
  a.Add("abc");
  EXPECT_EQ(a.Delete(0), nullptr);
  EXPECT_EQ(a.Data(), nullptr);
  EXPECT_EQ(a.Count(), 0u);
  EXPECT_EQ(a.Size(), 0u);
  a.Add("xyz");
  ASSERT_EQ(a.Count(), 1u);
  EXPECT_EQ(std::string(static_cast<const char*>(a.ItemPtr(0)), 3), "xyz");
  a.Clear();
  EXPECT_EQ(a.Data(), nullptr);
  EXPECT_EQ(a.Count(), 0u);
}

TEST(TrsDynArray, LargeItemsMoveWholeThroughInsert) {
  TrsDynArray a(65519);
  std::string first(65519, 'a'), second(65519, 'b');
  a.Add(first.data());
  a.Insert(0, second.data());
  EXPECT_EQ(std::string(static_cast<const char*>(a.ItemPtr(0)), 65519), second);
  EXPECT_EQ(std::string(static_cast<const char*>(a.ItemPtr(1)), 65519), first);
}

// Each failing call raises its own class and message and leaves the array as it was.
TEST(TrsDynArray, FailuresRaiseTheirOwnErrorAndChangeNothing) {
  TrsDynArray empty(sizeof(int));
  TrsDynArray two(sizeof(int));
  Add(two, 1);
  Add(two, 2);
  const int v = 9;
  struct Case {
    const char* name;
    TrsDynArray* array;
    void (*call)(TrsDynArray&, const int&);
    std::string message;
  };
  const Case cases[] = {
      {"insert into empty", &empty, [](TrsDynArray& a, const int& x) { a.Insert(0, &x); },
       "Dynamic Array: Unable to insert element."},
      {"insert at Count", &two, [](TrsDynArray& a, const int& x) { a.Insert(2, &x); },
       "Dynamic Array: Index out of Bounds."},
      {"insert at -1", &two, [](TrsDynArray& a, const int& x) { a.Insert(-1, &x); },
       "Dynamic Array: Index out of Bounds."},
      {"item at Count", &two, [](TrsDynArray& a, const int&) { a.ItemPtr(2); },
       "Dynamic Array: Index out of bounds."},
      {"item at -1", &two, [](TrsDynArray& a, const int&) { a.ItemPtr(-1); },
       "Dynamic Array: Index out of bounds."},
      {"delete from empty", &empty, [](TrsDynArray& a, const int&) { a.Delete(0); },
       "Dynamic Array: Unable to delete element."},
      {"delete at -1", &two, [](TrsDynArray& a, const int&) { a.Delete(-1); },
       "Dynamic Array: Unable to delete element."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<int> before = Items(*c.array);
    try {
      c.call(*c.array, v);
      ADD_FAILURE() << "no error";
    } catch (const EDynArrayException& e) {
      EXPECT_EQ(e.what(), c.message);
    }
    EXPECT_EQ(Items(*c.array), before);
  }
  EXPECT_THROW(two.Insert(2, &v), EDynArrayIndexBounds);
  EXPECT_THROW(two.ItemPtr(-1), EDynArrayIndexBounds);
  EXPECT_THROW(empty.Insert(0, &v), EDynArrayInsError);
  EXPECT_THROW(two.Delete(-1), EDynArrayDelError);
}

TEST(TrsDynArray, MovingHandsTheItemsOverAndLeavesNoItemSize) {
  TrsDynArray a(sizeof(int));
  Add(a, 7);
  TrsDynArray b(std::move(a));
  EXPECT_EQ(Items(b), (std::vector<int>{7}));
  EXPECT_EQ(a.ItemSize(), 0u);  // NOLINT(bugprone-use-after-move): the moved-from state is tested
  const int v = 1;
  try {
    a.Add(&v);
    ADD_FAILURE() << "no error";
  } catch (const EDynArrayAddError& e) {
    EXPECT_STREQ(e.what(), "Dynamic Array: Unable to add element.");
  }
}

}  // namespace
}  // namespace components
