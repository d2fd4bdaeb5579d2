// Extraction and thumbnail speed against their physical floors, printed as one table.
//
// The program builds five raw files with the fixture library in TMPDIR (a 24-megapixel
// TIFF-based file with a full-size JPEG preview, a CIFF file, an X3F file, a Rollei file and a
// Kodak DCS Pro file) and measures, for each, in the same run:
//
//   extract/F  ExtractThumbnail to a file, against its floor: reading the same preview bytes
//              (thumbLength, as far as the file holds them) from the raw file and writing
//              them, the two measured in pairs;
//   road/F     the whole thumbnail road at 256 x 256 (Load, GetLocation, Extract, the bitmap),
//              against its floor (for a JPEG preview: reading the preview from the raw file and
//              decoding it with TurboJPEG at the smallest scale that still covers the
//              thumbnail; for a PPM thumbnail file: reading that file) and against ImageMagick's
//              command line making the same thumbnail from the extracted preview, run as a
//              process; the three measured in turns.
//
// It then runs `vantrel thumbnail -s 256` on the largest file as a process and reads its peak
// resident size. Google Benchmark runs the repetitions (interleaved at random, so that a busy
// spell of the machine does not fall on one benchmark alone); the table shows their medians.
// Google Benchmark's own report goes to standard error, the table to standard output.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <turbojpeg.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "bench/child_process.h"
#include "core/extract.h"
#include "shellext/extractor.h"
#include "tests/fixtures/ciff_builder.h"
#include "tests/fixtures/jpeg_maker.h"
#include "tests/fixtures/kodak_builder.h"
#include "tests/fixtures/rollei_builder.h"
#include "tests/fixtures/tiff_builder.h"
#include "tests/fixtures/x3f_builder.h"

#ifndef VANTREL_CLI_PATH
#error "VANTREL_CLI_PATH names the vantrel tool"
#endif

namespace vantrel::bench {
namespace {

constexpr int kBox = 256;
constexpr int kDefaultRepetitions = 15;
constexpr int kMemoryRuns = 5;
constexpr double kExtractTarget = 1.5;   // extraction / copy, every JPEG preview
constexpr double kRoadTarget = 2.0;      // road / decode floor, the large file
constexpr double kMagickTarget = 5.0;    // ImageMagick's command line / road, the large file
constexpr double kMemoryTargetMiB = 64;  // peak of the whole road, the large file
const char kDefaultConvert[] = "/usr/bin/convert";

// ---- The raw files ----

enum class Kind { kJpeg, kPpm };

struct Subject {
  std::string key;    // part of the benchmark names
  std::string label;  // the table's first column
  Kind kind = Kind::kJpeg;
  bool large = false;  // the 24-megapixel file, which the speed and memory targets are about
  std::unique_ptr<InputFile> raw;
  std::unique_ptr<fixtures::TempPath> preview;  // the thumbnail file, extracted once
  std::int32_t thumbOffset = 0;
  std::int32_t thumbLength = 0;
  std::int32_t copyLength = 0;  // the preview bytes that the raw file holds
  int previewWidth = 0;         // of the JPEG preview
  int previewHeight = 0;
  std::string floorText;  // what the road's floor is
  long magickPeakKiB = 0;
  int nextFirst = 0;  // which measurement of a pair or trio goes first next, across repetitions
};

// Bytes that do not compress or repeat, as sensor data looks to everything but a decoder.
fixtures::Bytes SensorFiller(std::size_t size) {
  fixtures::Bytes bytes(size);
  std::mt19937_64 random(20240601);
  for (std::size_t i = 0; i + 8 <= size; i += 8) {
    const std::uint64_t word = random();
    std::memcpy(&bytes[i], &word, 8);
  }
  return bytes;
}

// A NEF-like file from a 24-megapixel camera: IFD0 names the camera and holds a 160 x 120 RGB
// thumbnail; one SubIFD is the full-size 6000 x 4000 JPEG preview, another the sensor data,
// a filler that brings the file to about 30 MB.
fixtures::Bytes LargeTiffRaw() {
  constexpr std::size_t kFileSize = 30'000'000;
  const fixtures::Bytes jpeg = fixtures::MakePhotoJpeg(6000, 4000, 90);
  fixtures::TiffBuilder tiff(fixtures::Endian::kLittle);
  const std::uint32_t small = tiff.AddBlob(fixtures::Bytes(160 * 120 * 3, 0x80));
  const std::uint32_t preview = tiff.AddBlob(jpeg);
  const std::size_t fillerSize =
      kFileSize > jpeg.size() + (4u << 20) ? kFileSize - jpeg.size() : 16u << 20;
  const std::uint32_t sensor = tiff.AddBlob(SensorFiller(fillerSize));
  auto& previewIfd = tiff.NewIfd();
  previewIfd.Long(fixtures::kJpegOffset, preview)
      .Long(fixtures::kJpegLength, static_cast<std::uint32_t>(jpeg.size()));
  auto& sensorIfd = tiff.NewIfd();
  sensorIfd.Long(fixtures::kImageWidth, 6032)
      .Long(fixtures::kImageLength, 4032)
      .Short(fixtures::kBitsPerSample, 14)
      .Long(fixtures::kStripOffsets, sensor)
      .Long(fixtures::kStripByteCounts, static_cast<std::uint32_t>(fillerSize));
  tiff.AddIfd()
      .Long(fixtures::kImageWidth, 160)
      .Long(fixtures::kImageLength, 120)
      .Shorts(fixtures::kBitsPerSample, {8, 8, 8})
      .Ascii(fixtures::kMake, "NIKON CORPORATION")
      .Ascii(fixtures::kModel, "NIKON D3200")
      .Long(fixtures::kStripOffsets, small)
      .Long(fixtures::kStripByteCounts, 160 * 120 * 3)
      .SubIfds({&previewIfd, &sensorIfd});
  return tiff.Build();
}

// A CRW file of a 6-megapixel Canon: the sensor data and a 1728 x 1152 JPEG in the root heap,
// the image information and the camera's name in the nested heaps.
fixtures::Bytes CiffRaw() {
  const fixtures::Bytes jpeg = fixtures::MakePhotoJpeg(1728, 1152, 90);
  fixtures::CiffHeap camera;
  camera.Value(fixtures::kCiffMakeModel, fixtures::CiffMakeModel("Canon", "Canon EOS 10D"));
  fixtures::CiffHeap cameraSpec;
  cameraSpec.Value(0x1029, fixtures::Bytes(8, 0)).Heap(0x3004, camera);
  fixtures::CiffHeap props;
  props
      .Value(fixtures::kCiffImageInfo,
             fixtures::CiffImageInfo(fixtures::Endian::kLittle, 3072, 2048, 0))
      .Heap(fixtures::kCiffCameraObject, cameraSpec);
  fixtures::CiffHeap root;
  root.Value(0x2005, SensorFiller(6u << 20))
      .Value(fixtures::kCiffJpegImage, jpeg)
      .Heap(fixtures::kCiffImageProps, props);
  return fixtures::MakeCiff(root);
}

fixtures::Bytes X3fRaw() {
  constexpr std::uint32_t kWidth = 640;
  constexpr std::uint32_t kHeight = 426;
  const fixtures::Bytes preview =
      fixtures::X3fImage(kWidth, kHeight, 3 * kWidth, fixtures::X3fRows(kWidth, kHeight, 0));
  return fixtures::MakeX3f(
      0x20002, 0,
      {{"BRACKET", "0"}, {"CAMMANUF", "SIGMA"}, {"CAMMODEL", "SIGMA SD10"}, {"ISO", "100"}},
      preview);
}

fixtures::Bytes RolleiRaw() {
  return fixtures::MakeRollei(320, 240, fixtures::Rollei565Pixels(320, 240), 1024);
}

fixtures::Bytes KodakRaw() {
  const fixtures::RgbPicture picture = fixtures::MakeLandscape(1500, 1000);
  return fixtures::MakeKodakDcs(1500, 1000, fixtures::EncodeKodakRgb(picture)).bytes;
}

std::string Megabytes(double bytes) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f MB", bytes / 1e6);
  return text;
}

// The smallest TurboJPEG scale whose result still covers the picture fitted into the box.
tjscalingfactor FloorScale(int width, int height) {
  const double fit =
      std::min(static_cast<double>(kBox) / width, static_cast<double>(kBox) / height);
  const int fitWidth = std::max(1, static_cast<int>(std::lround(width * fit)));
  const int fitHeight = std::max(1, static_cast<int>(std::lround(height * fit)));
  tjscalingfactor best{1, 1};
  int count = 0;
  const tjscalingfactor* factors = tjGetScalingFactors(&count);
  for (int i = 0; factors != nullptr && i < count; ++i) {
    const tjscalingfactor f = factors[i];
    if (f.num > f.denom || TJSCALED(width, f) < fitWidth || TJSCALED(height, f) < fitHeight)
      continue;
    if (f.num * best.denom < best.num * f.denom) best = f;
  }
  return best;
}

// Writes the raw file, parses it once for the preview's place and extracts the thumbnail file
// that ImageMagick's command line and the PPM floor read.
std::unique_ptr<Subject> MakeSubject(std::string key, std::string name, Kind kind, bool large,
                                     const fixtures::Bytes& bytes) {
  auto subject = std::make_unique<Subject>();
  subject->key = std::move(key);
  subject->kind = kind;
  subject->large = large;
  subject->raw = std::make_unique<InputFile>(bytes, name);
  subject->preview = std::make_unique<fixtures::TempPath>(
      subject->key + (kind == Kind::kJpeg ? "_preview.jpg" : "_preview.ppm"));
  ParseState state;
  if (Failed(ExtractThumbnail(state, subject->raw->path().c_str(), subject->preview->c_str()))) {
    std::fprintf(stderr, "vantrel-bench-floors: cannot extract the preview of %s\n", name.c_str());
    std::exit(1);
  }
  subject->thumbOffset = state.thumbOffset;
  subject->thumbLength = state.thumbLength;
  subject->copyLength = std::max<std::int32_t>(
      0, std::min<std::int32_t>(state.thumbLength, subject->raw->size() - state.thumbOffset));
  const double previewBytes =
      static_cast<double>(fixtures::ReadFileBytes(subject->preview->path()).size());
  std::string what;
  if (kind == Kind::kJpeg) {
    tjhandle handle = tjInitDecompress();
    const fixtures::Bytes jpeg = fixtures::ReadFileBytes(subject->preview->path());
    int subsampling = 0, colorspace = 0;
    tjDecompressHeader3(handle, jpeg.data(), jpeg.size(), &subject->previewWidth,
                        &subject->previewHeight, &subsampling, &colorspace);
    tjDestroy(handle);
    const tjscalingfactor scale = FloorScale(subject->previewWidth, subject->previewHeight);
    what = std::to_string(subject->previewWidth) + "x" + std::to_string(subject->previewHeight) +
           " JPEG";
    subject->floorText = "read + TurboJPEG decode at " + std::to_string(scale.num) + "/" +
                         std::to_string(scale.denom) + " (" +
                         std::to_string(TJSCALED(subject->previewWidth, scale)) + "x" +
                         std::to_string(TJSCALED(subject->previewHeight, scale)) + ")";
  } else {
    what = std::to_string(state.thumbWidth) + "x" + std::to_string(state.thumbHeight) + " " +
           WriterName(ChooseWriter(state)) + " -> PPM";
    subject->floorText = "reading the PPM thumbnail file";
  }
  subject->label =
      name + " (" + Megabytes(bytes.size()) + "; " + what + ", " + Megabytes(previewBytes) + ")";
  return subject;
}

// VANTREL_BENCH_FILES, a comma-separated list of keys (tiff24mp, ciff, x3f, rollei, kodak),
// limits the run to those files, e.g. to profile one of them.
bool Wanted(const std::string& key) {
  const char* list = std::getenv("VANTREL_BENCH_FILES");
  if (list == nullptr || *list == '\0') return true;
  std::stringstream keys(list);
  std::string item;
  while (std::getline(keys, item, ','))
    if (item == key) return true;
  return false;
}

std::vector<std::unique_ptr<Subject>> MakeSubjects() {
  std::vector<std::unique_ptr<Subject>> subjects;
  if (Wanted("tiff24mp"))
    subjects.push_back(MakeSubject("tiff24mp", "24mp.nef", Kind::kJpeg, true, LargeTiffRaw()));
  if (Wanted("ciff"))
    subjects.push_back(MakeSubject("ciff", "canon.crw", Kind::kJpeg, false, CiffRaw()));
  if (Wanted("x3f"))
    subjects.push_back(MakeSubject("x3f", "sigma.x3f", Kind::kPpm, false, X3fRaw()));
  if (Wanted("rollei"))
    subjects.push_back(MakeSubject("rollei", "rollei.rdc", Kind::kPpm, false, RolleiRaw()));
  if (Wanted("kodak"))
    subjects.push_back(MakeSubject("kodak", "kodak.dcr", Kind::kPpm, false, KodakRaw()));
  return subjects;
}

// ---- The benchmarks ----

std::string ConvertPath() {
  const char* path = std::getenv("VANTREL_BENCH_CONVERT");
  return path != nullptr && *path != '\0' ? path : kDefaultConvert;
}

// One extraction to a file that does not exist yet, removed afterwards (the extractor's
// temporary files are new ones too).
bool ExtractOnce(const Subject& subject, const char* out) {
  ParseState parse;
  const HResult hr = ExtractThumbnail(parse, subject.raw->path().c_str(), out);
  std::remove(out);
  return Succeeded(hr);
}

// The least that writing the thumbnail file of a stored preview costs: its bytes read from the
// raw file and written to a new file with plain system calls, a mebibyte at a time (which
// keeps the buffer in the processor's caches; one read and one write of the whole preview are
// slower), into a buffer that is already there.
bool CopyOnce(const Subject& subject, const char* out, std::vector<unsigned char>& buffer) {
  const auto length = static_cast<std::size_t>(subject.copyLength);
  const int in = open(subject.raw->path().c_str(), O_RDONLY | O_CLOEXEC);
  const int to = open(out, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  bool copied = in >= 0 && to >= 0;
  for (std::size_t done = 0; copied && done < length;) {
    const std::size_t chunk = std::min(length - done, buffer.size());
    copied = pread(in, buffer.data(), chunk, subject.thumbOffset + static_cast<off_t>(done)) ==
                 static_cast<ssize_t>(chunk) &&
             write(to, buffer.data(), chunk) == static_cast<ssize_t>(chunk);
    done += chunk;
  }
  if (in >= 0) close(in);
  if (to >= 0) close(to);
  unlink(out);
  return copied;
}

// Extraction and its copy floor, measured in pairs: each iteration runs both, in turns first,
// so that what the file system is doing at the time (writeback, journal commits) falls on both
// alike. Millisecond writes of megabytes vary far more from one moment to the next than the
// two differ. The counters "ours" and "floor" hold the seconds of each per iteration.
void ExtractAgainstCopy(benchmark::State& state, Subject* subject) {
  constexpr std::size_t kChunk = 1 << 20;
  using Clock = std::chrono::steady_clock;
  const fixtures::TempPath out("extract_out");
  std::vector<unsigned char> buffer(
      std::max<std::size_t>(1, std::min<std::size_t>(subject->copyLength, kChunk)));
  double ours = 0, floor = 0;
  for (auto _ : state) {
    const bool oursFirst = subject->nextFirst++ % 2 == 0;
    bool ok = true;
    for (int turn = 0; turn < 2 && ok; ++turn) {
      const bool runOurs = (turn == 0) == oursFirst;
      const Clock::time_point start = Clock::now();
      ok = runOurs ? ExtractOnce(*subject, out.c_str()) : CopyOnce(*subject, out.c_str(), buffer);
      (runOurs ? ours : floor) += std::chrono::duration<double>(Clock::now() - start).count();
    }
    if (!ok) {
      state.SkipWithError("the extraction or the copy failed");
      break;
    }
  }
  state.counters["ours"] = benchmark::Counter(ours, benchmark::Counter::kAvgIterations);
  state.counters["floor"] = benchmark::Counter(floor, benchmark::Counter::kAvgIterations);
}

// The whole road once, to the bitmap.
bool RoadOnce(const Subject& subject) {
  Extractor extractor;
  extractor.Load(subject.raw->path().c_str());
  std::uint32_t flags = 0;
  extractor.GetLocation(kBox, kBox, flags);
  platform::Bitmap bitmap;
  const bool ok = Succeeded(extractor.Extract(bitmap)) && bitmap.width == kBox;
  benchmark::DoNotOptimize(bitmap.rgb.data());
  return ok;
}

// The road's floor once. For a JPEG preview: its bytes read from the raw file and decoded at
// the scale that the thumbnail needs. For a PPM thumbnail file: reading it. Buffers are kept
// from one run to the next.
class RoadFloor {
 public:
  explicit RoadFloor(const Subject& subject) : subject_(subject) {
    if (subject.kind != Kind::kJpeg) return;
    const tjscalingfactor scale = FloorScale(subject.previewWidth, subject.previewHeight);
    width_ = TJSCALED(subject.previewWidth, scale);
    height_ = TJSCALED(subject.previewHeight, scale);
    data_.resize(static_cast<std::size_t>(subject.thumbLength));
    pixels_.resize(static_cast<std::size_t>(width_) * height_ * 3);
    handle_ = tjInitDecompress();
  }
  ~RoadFloor() {
    if (handle_ != nullptr) tjDestroy(handle_);
  }
  RoadFloor(const RoadFloor&) = delete;
  RoadFloor& operator=(const RoadFloor&) = delete;

  bool Once() { return subject_.kind == Kind::kJpeg ? Decode() : ReadPpm(); }

 private:
  bool Decode() {
    const int in = open(subject_.raw->path().c_str(), O_RDONLY | O_CLOEXEC);
    const bool read = in >= 0 && pread(in, data_.data(), data_.size(), subject_.thumbOffset) ==
                                     static_cast<ssize_t>(data_.size());
    if (in >= 0) close(in);
    const bool ok = read && handle_ != nullptr &&
                    tjDecompress2(handle_, data_.data(), data_.size(), pixels_.data(), width_, 0,
                                  height_, TJPF_RGB, 0) == 0;
    benchmark::DoNotOptimize(pixels_.data());
    return ok;
  }
  bool ReadPpm() {
    const int in = open(subject_.preview->c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return false;
    struct stat info {};
    bool ok = fstat(in, &info) == 0;
    if (ok) {
      data_.resize(static_cast<std::size_t>(info.st_size));
      ok = read(in, data_.data(), data_.size()) == static_cast<ssize_t>(data_.size());
    }
    close(in);
    benchmark::DoNotOptimize(data_.data());
    return ok;
  }

  const Subject& subject_;
  int width_ = 0;
  int height_ = 0;
  std::vector<unsigned char> data_;
  std::vector<unsigned char> pixels_;
  tjhandle handle_ = nullptr;
};

// The road, its floor and ImageMagick's command line, measured in turns: each iteration runs
// all three, a different one first each time, so that the load of the (shared) machine at the
// moment falls on all of them alike. The counters "ours", "floor" and "magick" hold the
// seconds of each per iteration; ImageMagick's time is the launcher's, from fork to wait.
void RoadAgainstFloors(benchmark::State& state, Subject* subject, bool withMagick) {
  using Clock = std::chrono::steady_clock;
  const fixtures::TempPath out("magick_out.jpg");
  const std::vector<std::string> convert = {ConvertPath(), subject->preview->path(), "-thumbnail",
                                            std::to_string(kBox) + "x" + std::to_string(kBox),
                                            out.path()};
  RoadFloor floor(*subject);
  const int steps = withMagick ? 3 : 2;
  double seconds[3] = {0, 0, 0};
  for (auto _ : state) {
    const int first = subject->nextFirst++ % steps;
    const char* failure = nullptr;
    for (int turn = 0; turn < steps && failure == nullptr; ++turn) {
      const int step = (first + turn) % steps;
      const Clock::time_point start = Clock::now();
      if (step == 0) {
        if (!RoadOnce(*subject)) failure = "the thumbnail road failed";
      } else if (step == 1) {
        if (!floor.Once()) failure = "the floor failed";
      } else {
        const ChildOutcome outcome = ChildLauncher::Run(convert);
        if (!outcome.Succeeded()) failure = "ImageMagick's command line failed";
        subject->magickPeakKiB = std::max(subject->magickPeakKiB, outcome.maxRssKiB);
        seconds[2] += outcome.seconds;
        continue;
      }
      seconds[step] += std::chrono::duration<double>(Clock::now() - start).count();
    }
    if (failure != nullptr) {
      state.SkipWithError(failure);
      break;
    }
  }
  state.counters["ours"] = benchmark::Counter(seconds[0], benchmark::Counter::kAvgIterations);
  state.counters["floor"] = benchmark::Counter(seconds[1], benchmark::Counter::kAvgIterations);
  if (withMagick)
    state.counters["magick"] = benchmark::Counter(seconds[2], benchmark::Counter::kAvgIterations);
}

void Register(const std::vector<std::unique_ptr<Subject>>& subjects, bool withMagick) {
  for (const auto& owned : subjects) {
    Subject* subject = owned.get();
    const auto name = [&](const char* what) { return std::string(what) + "/" + subject->key; };
    benchmark::RegisterBenchmark(name("extract").c_str(), ExtractAgainstCopy, subject)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark(name("road").c_str(), RoadAgainstFloors, subject, withMagick)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
  }
}

// ---- Collecting the medians ----

struct Measure {
  double seconds = NAN;
  std::string error;
};

// Google Benchmark's console report on standard error, and the medians kept for the table.
class CollectingReporter : public benchmark::ConsoleReporter {
 public:
  CollectingReporter() : ConsoleReporter(OO_None) {
    SetOutputStream(&std::cerr);
    SetErrorStream(&std::cerr);
  }
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      Measure& measure = measures_[run.run_name.function_name];
      if (run.error_occurred) {
        measure.error = run.error_message;
      } else if ((run.run_type == Run::RT_Aggregate && run.aggregate_name == "median") ||
                 (run.run_type == Run::RT_Iteration && run.repetitions <= 1)) {
        measure.seconds = run.GetAdjustedRealTime() * SecondsPer(run.time_unit);
        // Counters of paired measurements hold seconds per iteration: "NAME#COUNTER".
        for (const auto& [counter, value] : run.counters)
          measures_[run.run_name.function_name + "#" + counter].seconds = value.value;
      }
    }
  }
  const Measure& Get(const std::string& name) const {
    static const Measure kMissing{NAN, "not run"};
    const auto found = measures_.find(name);
    return found == measures_.end() ? kMissing : found->second;
  }

 private:
  static double SecondsPer(benchmark::TimeUnit unit) {
    switch (unit) {
      case benchmark::kNanosecond:
        return 1e-9;
      case benchmark::kMicrosecond:
        return 1e-6;
      case benchmark::kMillisecond:
        return 1e-3;
      case benchmark::kSecond:
        break;
    }
    return 1;
  }
  std::map<std::string, Measure> measures_;
};

// ---- Peak memory ----

struct MemoryResult {
  bool ok = false;
  double peakMiB = 0;  // the largest of the runs
  double seconds = 0;  // the median wall time
};

MemoryResult MeasureRoadMemory(const Subject& subject) {
  MemoryResult result;
  const fixtures::TempPath out("memory_out.png");
  std::vector<double> seconds;
  long peak = 0;
  for (int i = 0; i < kMemoryRuns; ++i) {
    const ChildOutcome outcome =
        ChildLauncher::Run({VANTREL_CLI_PATH, "thumbnail", "-s", std::to_string(kBox),
                            subject.raw->path(), out.path()});
    if (!outcome.Succeeded()) return result;
    peak = std::max(peak, outcome.maxRssKiB);
    seconds.push_back(outcome.seconds);
  }
  std::sort(seconds.begin(), seconds.end());
  result.ok = true;
  result.peakMiB = static_cast<double>(peak) / 1024;
  result.seconds = seconds[seconds.size() / 2];
  return result;
}

// ---- The table ----

std::string LoadAverage() {
  std::ifstream file("/proc/loadavg");
  std::string one, five, fifteen;
  file >> one >> five >> fifteen;
  return one + " " + five + " " + fifteen;
}

// The kind of file system that TMPDIR is on: writing the thumbnail file costs more on a disk
// than in memory.
std::string TempFileSystem() {
  struct statfs info {};
  if (statfs(fixtures::TempDirectory().c_str(), &info) != 0) return "unknown";
  switch (static_cast<unsigned long>(info.f_type)) {
    case 0xEF53:
      return "ext4";
    case 0x01021994:
      return "tmpfs";
    case 0x58465342:
      return "xfs";
    case 0x9123683E:
      return "btrfs";
    case 0x794C7630:
      return "overlayfs";
    default:
      break;
  }
  char text[32];
  std::snprintf(text, sizeof text, "type 0x%lX", static_cast<unsigned long>(info.f_type));
  return text;
}

std::string Milliseconds(const Measure& measure) {
  if (measure.error == "not run") return "not run";
  if (!measure.error.empty() || std::isnan(measure.seconds)) return "failed";
  char text[32];
  const double ms = measure.seconds * 1e3;
  std::snprintf(text, sizeof text, ms < 10 ? "%.2f ms" : ms < 100 ? "%.1f ms" : "%.0f ms", ms);
  return text;
}

std::string Number(double value, const char* format) {
  if (std::isnan(value)) return "-";
  char text[32];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

class Table {
 public:
  void Row(std::vector<std::string> cells) { rows_.push_back(std::move(cells)); }
  void Print(std::ostream& out) const {
    std::vector<std::size_t> widths(kHeader.size(), 0);
    for (std::size_t c = 0; c < kHeader.size(); ++c) widths[c] = kHeader[c].size();
    for (const auto& row : rows_)
      for (std::size_t c = 0; c < row.size(); ++c) widths[c] = std::max(widths[c], row[c].size());
    const auto line = [&](const std::vector<std::string>& cells) {
      out << "|";
      for (std::size_t c = 0; c < widths.size(); ++c) {
        const std::string cell = c < cells.size() ? cells[c] : "";
        const bool right = c == 2 || c == 4 || c == 5;
        out << ' '
            << (right ? std::string(widths[c] - cell.size(), ' ') + cell
                      : cell + std::string(widths[c] - cell.size(), ' '))
            << " |";
      }
      out << "\n";
    };
    line(kHeader);
    out << "|";
    for (std::size_t c = 0; c < widths.size(); ++c) {
      const bool right = c == 2 || c == 4 || c == 5;
      out << (right ? std::string(widths[c] + 1, '-') + ":" : std::string(widths[c] + 2, '-'))
          << "|";
    }
    out << "\n";
    for (const auto& row : rows_) line(row);
  }

 private:
  const std::vector<std::string> kHeader = {"File", "Measure", "Ours",   "Reference",
                                            "Ref.", "Ratio",   "Target", "Met"};
  std::vector<std::vector<std::string>> rows_;
};

// "yes" or "NO" where a target applies; "-" where it applies but nothing was measured.
std::string Verdict(bool applies, double ratio, double target) {
  if (!applies) return "";
  if (std::isnan(ratio)) return "-";
  return ratio <= target ? "yes" : "NO";
}

double Ratio(const Measure& ours, const Measure& reference) {
  if (!ours.error.empty() || !reference.error.empty()) return NAN;
  return ours.seconds / reference.seconds;
}

void PrintTable(const std::vector<std::unique_ptr<Subject>>& subjects,
                const CollectingReporter& results, const MemoryResult& memory, bool withMagick,
                int repetitions, const std::string& loadBefore) {
  Table table;
  const Subject* largest = nullptr;
  for (const auto& owned : subjects) {
    const Subject& s = *owned;
    if (s.large) largest = &s;
    // A failed pair leaves its error on the benchmark rather than on its counters.
    const Measure& pair = results.Get("extract/" + s.key);
    const Measure& extract = pair.error.empty() ? results.Get("extract/" + s.key + "#ours") : pair;
    const Measure& copy = pair.error.empty() ? results.Get("extract/" + s.key + "#floor") : pair;
    const Measure& trio = results.Get("road/" + s.key);
    const Measure& road = trio.error.empty() ? results.Get("road/" + s.key + "#ours") : trio;
    const Measure& floor = trio.error.empty() ? results.Get("road/" + s.key + "#floor") : trio;
    const Measure& magick = trio.error.empty() ? results.Get("road/" + s.key + "#magick") : trio;

    const bool jpeg = s.kind == Kind::kJpeg;
    const double extractRatio = Ratio(extract, copy);
    table.Row({s.label, "extraction", Milliseconds(extract),
               "read + write of the " + std::to_string(s.copyLength) + " preview bytes",
               Milliseconds(copy), Number(extractRatio, "%.2f"),
               jpeg ? "<= " + Number(kExtractTarget, "%.1f") : "-",
               Verdict(jpeg, extractRatio, kExtractTarget)});
    const double roadRatio = Ratio(road, floor);
    table.Row({"", "road 256x256", Milliseconds(road), s.floorText, Milliseconds(floor),
               Number(roadRatio, "%.2f"), s.large ? "<= " + Number(kRoadTarget, "%.1f") : "-",
               Verdict(s.large, roadRatio, kRoadTarget)});
    if (withMagick) {
      const double magickRatio = Ratio(road, magick);
      table.Row({"", "road 256x256", Milliseconds(road), "convert -thumbnail 256x256 (process)",
                 Milliseconds(magick),
                 std::isnan(magickRatio) ? std::string("-")
                                         : Number(magickRatio, "%.3f") + " (" +
                                               Number(1 / magickRatio, "%.1f") + "x faster)",
                 s.large ? "<= " + Number(1 / kMagickTarget, "%.2f") + " (5x faster)" : "-",
                 Verdict(s.large, magickRatio, 1 / kMagickTarget)});
    }
  }
  if (largest != nullptr) {
    const std::string ours = memory.ok ? Number(memory.peakMiB, "%.1f MiB") : std::string("failed");
    const std::string theirs =
        withMagick && largest->magickPeakKiB > 0
            ? Number(static_cast<double>(largest->magickPeakKiB) / 1024, "%.1f MiB")
            : std::string("-");
    table.Row(
        {largest->label,
         "peak memory of vantrel thumbnail -s 256 (" +
             (memory.ok ? Milliseconds({memory.seconds, ""}) : "-") + ")",
         ours, "peak memory of convert -thumbnail 256x256", theirs,
         withMagick && memory.ok && largest->magickPeakKiB > 0
             ? Number(memory.peakMiB * 1024 / static_cast<double>(largest->magickPeakKiB), "%.2f")
             : "-",
         "< " + Number(kMemoryTargetMiB, "%.0f MiB"),
         !memory.ok                          ? "-"
         : memory.peakMiB < kMemoryTargetMiB ? "yes"
                                             : "NO"});
  }
  std::cout << "Vantrel benchmarks: medians of " << repetitions
            << " repetitions; ratio = ours / reference. TMPDIR on " << TempFileSystem()
            << "; load average " << loadBefore << " before, " << LoadAverage() << " after.\n\n";
  table.Print(std::cout);
}

}  // namespace
}  // namespace vantrel::bench

int main(int argc, char** argv) {
  using namespace vantrel::bench;
  // Before anything large exists: the children's peak memory must be their own.
  ChildLauncher::Start();

  // Defaults that the command line can override (later flags win).
  std::vector<std::string> arguments = {
      argv[0], "--benchmark_repetitions=" + std::to_string(kDefaultRepetitions),
      "--benchmark_enable_random_interleaving=true", "--benchmark_min_time=0.3"};
  for (int i = 1; i < argc; ++i) arguments.emplace_back(argv[i]);
  std::vector<char*> pointers;
  for (std::string& argument : arguments) pointers.push_back(argument.data());
  int count = static_cast<int>(pointers.size());
  benchmark::Initialize(&count, pointers.data());
  if (benchmark::ReportUnrecognizedArguments(count, pointers.data())) return 2;

  int repetitions = kDefaultRepetitions;
  for (const std::string& argument : arguments) {
    const std::string flag = "--benchmark_repetitions=";
    if (argument.rfind(flag, 0) == 0) repetitions = std::atoi(argument.c_str() + flag.size());
  }
  const std::string loadBefore = LoadAverage();
  const std::string convert = ConvertPath();
  const bool withMagick = access(convert.c_str(), X_OK) == 0;
  if (!withMagick) std::cerr << "vantrel-bench-floors: no " << convert << ", no ImageMagick rows\n";

  std::cerr << "vantrel-bench-floors: building the raw files in "
            << vantrel::fixtures::TempDirectory() << "\n";
  const auto subjects = MakeSubjects();
  Register(subjects, withMagick);
  CollectingReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);

  MemoryResult memory;
  for (const auto& subject : subjects)
    if (subject->large) memory = MeasureRoadMemory(*subject);
  ChildLauncher::Stop();
  PrintTable(subjects, reporter, memory, withMagick, repetitions, loadBefore);
  benchmark::Shutdown();
  return 0;
}
