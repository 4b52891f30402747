// Export of a capture (composition and PNG encoding) against libpng at its default settings on
// the same pixels. Prints the speed and size ratios at the end.
#include <benchmark/benchmark.h>
#include <png.h>

#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "png_encoder.h"
#include "region_composition.h"
#include "screen_picture.h"

namespace orvel::region::bench {
namespace {

struct Scene {
  Rect region;
  std::vector<FrozenFrame> frames;
};

FrozenFrame frame(Rect bounds, double scale, unsigned seed) {
  const int w = static_cast<int>(bounds.width * scale);
  const int h = static_cast<int>(bounds.height * scale);
  return {bounds, scale, std::make_shared<const Image>(screenPicture(w, h, seed))};
}

// 3840x2160 points at scale 1: a whole 4K screen.
const Scene& screen4k() {
  static const Scene scene{{0, 0, 3840, 2160}, {frame({0, 0, 3840, 2160}, 1, 1)}};
  return scene;
}

// 2560x1440 points over a scale-1 and a scale-2 display: a 5120x2880 output.
const Scene& twoDisplays5k() {
  static const Scene scene{{1280, 0, 2560, 1440},
                           {frame({0, 0, 1920, 1080}, 1, 2), frame({1920, 0, 2560, 1440}, 2, 3)}};
  return scene;
}

const Scene& sceneFor(int which) {
  return which == 0 ? screen4k() : twoDisplays5k();
}

// libpng at its default settings, or at zlib level 1 with the Sub filter when `fast`.
std::vector<std::uint8_t> libpngEncode(const ImageView& image, bool fast) {
  std::vector<std::uint8_t> out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return {};
  }
  png_set_write_fn(
      png, &out,
      [](png_structp p, png_bytep data, png_size_t size) {
        auto* v = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(p));
        v->insert(v->end(), data, data + size);
      },
      nullptr);
  if (fast) {
    png_set_compression_level(png, 1);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_SUB);
  }
  png_set_IHDR(png, info, image.width, image.height, 8, PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  // The frozen pictures are opaque, so straight RGBA is the BGRA bytes reordered.
  png_set_bgr(png);
  for (int y = 0; y < image.height; ++y)
    png_write_row(png, const_cast<png_bytep>(image.row(y)));
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return out;
}

std::map<std::string, std::pair<double, double>> g_results;  // name -> (ms, bytes)

void record(benchmark::State& state, const std::string& name, std::size_t bytes) {
  state.counters["MB"] = static_cast<double>(bytes) / 1e6;
  state.SetLabel(name);
  g_results[name].second = static_cast<double>(bytes);
}

void BM_Export(benchmark::State& state) {
  const Scene& scene = sceneFor(static_cast<int>(state.range(0)));
  const PngSettings settings{static_cast<PngFilter>(state.range(1)),
                             static_cast<int>(state.range(2))};
  std::size_t bytes = 0;
  for (auto _ : state) {
    auto composed = composeRegion(scene.region, scene.frames);
    auto png = encodePng(composed->pixels, composed->scale * 72, settings);
    bytes = png->size();
    benchmark::DoNotOptimize(png->data());
  }
  record(state,
         "export/" + std::to_string(state.range(0)) + "/filter" + std::to_string(state.range(1)) +
             "/level" + std::to_string(state.range(2)),
         bytes);
}

void BM_LibpngDefault(benchmark::State& state) {
  const Scene& scene = sceneFor(static_cast<int>(state.range(0)));
  const auto composed = composeRegion(scene.region, scene.frames);
  std::size_t bytes = 0;
  for (auto _ : state) {
    auto png = libpngEncode(composed->pixels, state.range(1) != 0);
    bytes = png.size();
    benchmark::DoNotOptimize(png.data());
  }
  record(state, (state.range(1) ? "libpng-fast/" : "libpng/") + std::to_string(state.range(0)),
         bytes);
}

// The default settings, then the alternatives that were measured to choose them.
BENCHMARK(BM_Export)->ArgsProduct({{0, 1}, {1}, {2}})->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LibpngDefault)
    ->ArgsProduct({{0, 1}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_Export)
    ->ArgsProduct({{0}, {0, 1, 2, 4}, {1, 2, 4, 6}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const auto& run : runs) {
      if (run.run_type == Run::RT_Iteration && !run.report_label.empty()) {
        g_results[run.report_label].first = run.GetAdjustedRealTime();
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }
};

}  // namespace
}  // namespace orvel::region::bench

int main(int argc, char** argv) {
  using namespace orvel::region::bench;
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  std::printf("\nAgainst libpng's defaults on the same pixels (speed-up, size ratio):\n");
  for (const auto& [name, result] : g_results) {
    if (name.rfind("libpng/", 0) == 0) continue;
    const auto base = g_results.find("libpng/" + name.substr(name.find('/') + 1, 1));
    if (base == g_results.end() || result.first <= 0) continue;
    std::printf("  %-28s %6.2fx faster  %5.2fx the size\n", name.c_str(),
                base->second.first / result.first, result.second / base->second.second);
  }
  benchmark::Shutdown();
}
