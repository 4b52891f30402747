// The OpenMP regions of this file are compiled like Tesseract's, so they reach the same entry
// points that the helper defines. Clang compiles them to another runtime's calls instead.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <omp.h>

#include <string>
#include <vector>

namespace {

#if defined(__clang__)
#define SKIP_UNLESS_GOMP_REGIONS() GTEST_SKIP() << "regions compile to libgomp calls with GCC only"
#else
#define SKIP_UNLESS_GOMP_REGIONS() static_cast<void>(0)
#endif

// The object the dynamic linker takes a global symbol from.
const void* definingObject(const char* symbol) {
  void* address = dlsym(RTLD_DEFAULT, symbol);
  Dl_info info{};
  if (address == nullptr || dladdr(address, &info) == 0) return nullptr;
  return info.dli_fbase;
}

const void* thisExecutable() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<const void*>(&definingObject), &info) == 0) return nullptr;
  return info.dli_fbase;
}

TEST(InlineParallelRegionsTest, SharedLibrariesReachTheExecutablesEntryPoints) {
  ASSERT_NE(thisExecutable(), nullptr);
  for (const char* symbol :
       {"GOMP_parallel", "GOMP_parallel_sections", "GOMP_sections_start", "GOMP_sections_next",
        "GOMP_sections_end", "GOMP_sections_end_nowait"}) {
    EXPECT_EQ(definingObject(symbol), thisExecutable()) << symbol;
  }
}

TEST(InlineParallelRegionsTest, LoopsRunEveryIterationOnceInOrderOnOneThread) {
  SKIP_UNLESS_GOMP_REGIONS();
  std::vector<int> order;
  std::vector<int> threads;
  std::vector<int> teamSizes;
#pragma omp parallel for num_threads(4)
  for (int i = 0; i < 9; ++i) {
    order.push_back(i);
    threads.push_back(omp_get_thread_num());
    teamSizes.push_back(omp_get_num_threads());
  }
  EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8}));
  EXPECT_EQ(threads, std::vector<int>(9, 0));
  EXPECT_EQ(teamSizes, std::vector<int>(9, 1));
}

TEST(InlineParallelRegionsTest, SectionsRunOnceEachInOrder) {
  SKIP_UNLESS_GOMP_REGIONS();
  std::string ran;
  for (int round = 0; round < 2; ++round) {
#pragma omp parallel num_threads(4)
    {
#pragma omp sections nowait
      {
#pragma omp section
        ran += 'a';
#pragma omp section
        ran += 'b';
#pragma omp section
        ran += 'c';
      }
    }
  }
  EXPECT_EQ(ran, "abcabc");
}

TEST(InlineParallelRegionsTest, SectionsInsideASectionKeepTheirOwnCount) {
  SKIP_UNLESS_GOMP_REGIONS();
  std::string ran;
#pragma omp parallel sections num_threads(2)
  {
#pragma omp section
    {
      ran += '1';
#pragma omp parallel sections num_threads(2)
      {
#pragma omp section
        ran += 'x';
#pragma omp section
        ran += 'y';
#pragma omp section
        ran += 'z';
      }
    }
#pragma omp section
    ran += '2';
  }
  EXPECT_EQ(ran, "1xyz2");
}

TEST(InlineParallelRegionsTest, OrphanedSectionsInsideALoopRegionRunOnceEach) {
  SKIP_UNLESS_GOMP_REGIONS();
  std::string ran;
#pragma omp parallel num_threads(3)
  {
#pragma omp sections
    {
#pragma omp section
      ran += 'p';
#pragma omp section
      ran += 'q';
    }
    ran += '.';
  }
  EXPECT_EQ(ran, "pq.");
}

}  // namespace
