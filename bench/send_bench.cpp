// A 1 MB document through the virtual reader: throughput and port accesses
// per byte of the whole send, and how much of it is our own work (conversion,
// reading the file, progress updates) rather than the wire's handshakes.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <time.h>
#include <zip.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "convert/convert.h"
#include "reader/firmware.h"
#include "reader/virtual_reader.h"
#include "send/send_job.h"
#include "send/send_list.h"
#include "tests/support/fake_ui.h"

namespace quirel {
namespace {

namespace fs = std::filesystem;
constexpr std::size_t kSize = 1 << 20;

// Paragraphs of GB text and English words, CR LF line ends.
std::string Document() {
  const std::string paragraph =
      "\xD6\xD0\xCE\xC4\xB5\xE7\xD7\xD3\xCA\xE9\xB5\xC4\xB6\xC1\xD5\xDF some English words in between, "
      "\xB5\xDA\xB6\xFE\xB6\xCE\xC2\xE4\xA1\xA3\r\n";
  std::string text;
  while (text.size() + paragraph.size() <= kSize) text += paragraph;
  text.append(kSize - text.size(), 'x');
  return text;
}

struct Rig {
  Rig() {
    std::string pattern = (fs::temp_directory_path() / "quirel-send-bench-XXXXXX").string();
    dir = mkdtemp(pattern.data());
    env.home = (dir / "home").string();
    env.systemDir = (dir / "system").string();
    fs::create_directories(env.home);
    fs::create_directories(env.systemDir);
    file = (dir / "book.txt").string();
    std::ofstream(file, std::ios::binary) << Document();
    reader = std::make_unique<reader::VirtualReader>(reader::ReaderOptions{}, reader::MakeFirmware(dir / "reader"));
    link = std::make_unique<Link>(*reader, clock, ui);
    job = std::make_unique<send::SendJob>(*link, ctx);
    job->sourcePath = file;
    job->fileKind = convert::kText;
    ui.NewProgress(ProgressKind::Send);
  }
  ~Rig() {
    std::error_code ec;
    fs::remove_all(dir, ec);
  }

  fs::path dir;
  std::string file;
  Environment env;
  VirtualClock clock;
  testing::FakeUi ui;
  convert::Context ctx{env, ui, 20};
  std::unique_ptr<reader::VirtualReader> reader;
  std::unique_ptr<Link> link;
  std::unique_ptr<send::SendJob> job;
};

// Processor time of this thread: the machine may be busy with other work.
struct Clock {
  static double now() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
  }
};
double Seconds(double d) { return d; }

// What the send does besides the conversion and the wire: read the work
// file as the transfer does (one read of the whole file) and drive the bar
// and the pump, one block or one tail byte at a time.
void ReadAndProgress(Rig& rig, const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  in.seekg(0, std::ios::end);
  const auto size = static_cast<std::size_t>(in.tellg());
  std::vector<char> data(size);
  in.seekg(0);
  in.read(data.data(), static_cast<std::streamsize>(size));
  ProgressWindow& window = *rig.ui.Progress(ProgressKind::Send);
  window.SetRange(Bar::File, 0, static_cast<int>(data.size() / send::kBlockSize + 1));
  for (std::size_t i = 0; i < data.size() / send::kBlockSize; ++i) {
    rig.ui.PumpMessage();
    benchmark::DoNotOptimize(window.InterruptRequested());
    window.StepIt(Bar::File);
  }
  for (std::size_t i = 0; i < data.size() % send::kBlockSize; ++i) {
    rig.ui.PumpMessage();
    benchmark::DoNotOptimize(window.InterruptRequested());
  }
  benchmark::DoNotOptimize(data.data());
}

// The whole convert-format send of the 1 MB document. The timed part is the
// send alone (so bytes_per_second is its rate); the conversion and the read
// are also run on their own, untimed by the framework, to split the send:
// wire = send - conversion - read+progress. The shares are against the wire
// time, the transfer proper.
void BM_SendConverted1MB(benchmark::State& state) {
  Rig rig;
  rig.job->sendFormat = send::kConvertFormat;
  double convertSeconds = 0, readSeconds = 0, sendSeconds = 0;
  std::uint64_t sent = 0;
  for (auto _ : state) {
    state.PauseTiming();
    const auto t0 = Clock::now();
    std::string sendPath;
    if (convert::ConvertForSend(rig.ctx, rig.file, convert::kText, sendPath) != convert::ConvertResult::kDone)
      state.SkipWithError("conversion");
    const auto t1 = Clock::now();
    ReadAndProgress(rig, sendPath);
    const auto t2 = Clock::now();
    const std::uint64_t before = rig.reader->Received().size();
    state.ResumeTiming();
    const auto t3 = Clock::now();
    if (rig.job->SendEntry(0, rig.file) != LinkResult::kDone) state.SkipWithError("send failed");
    const auto t4 = Clock::now();
    state.PauseTiming();
    sent += rig.reader->Received().size() - before;
    rig.reader->ClearReceived();
    convertSeconds += Seconds(t1 - t0);
    readSeconds += Seconds(t2 - t1);
    sendSeconds += Seconds(t4 - t3);
    state.ResumeTiming();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(sent));
  state.counters["accesses/byte"] = static_cast<double>(rig.reader->accesses) / static_cast<double>(sent);
  const double wireSeconds = sendSeconds - convertSeconds - readSeconds;
  state.counters["convert-ms"] = 1e3 * convertSeconds / static_cast<double>(state.iterations());
  state.counters["wire-ms"] = 1e3 * wireSeconds / static_cast<double>(state.iterations());
  state.counters["convert/wire"] = convertSeconds / wireSeconds;
  state.counters["read+progress/wire"] = readSeconds / wireSeconds;
  state.counters["own-work/wire"] = (convertSeconds + readSeconds) / wireSeconds;
}
BENCHMARK(BM_SendConverted1MB)->Unit(benchmark::kMillisecond);

// The conversion alone, as the send runs it (input bytes per second).
void BM_Convert1MB(benchmark::State& state) {
  Rig rig;
  for (auto _ : state) {
    std::string sendPath;
    if (convert::ConvertForSend(rig.ctx, rig.file, convert::kText, sendPath) != convert::ConvertResult::kDone)
      state.SkipWithError("conversion");
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(kSize));
}
BENCHMARK(BM_Convert1MB)->Unit(benchmark::kMillisecond);

// The file's own bytes, no conversion.
void BM_SendAsIs1MB(benchmark::State& state) {
  Rig rig;
  rig.job->sendFormat = send::kKeepFormat;
  std::uint64_t sent = 0;
  for (auto _ : state) {
    const std::uint64_t before = rig.reader->Received().size();
    if (rig.job->SendAsIs(0, rig.file) != LinkResult::kDone) state.SkipWithError("send failed");
    sent += rig.reader->Received().size() - before;
    rig.reader->ClearReceived();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(sent));
  state.counters["accesses/byte"] = static_cast<double>(rig.reader->accesses) / static_cast<double>(sent);
}
BENCHMARK(BM_SendAsIs1MB)->Unit(benchmark::kMillisecond);

// Twenty office documents of about 20 KB (ten DOCX, ten ODT) in one folder,
// sent in the convert format by one whole job: read directly, none of them
// waits for a word processor (QUIREL_SOFFICE names one that does not exist).
std::string Zipped(const fs::path& path, const std::vector<std::pair<std::string, std::string>>& members) {
  int error = 0;
  zip_t* za = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
  for (const auto& [name, content] : members)
    zip_file_add(za, name.c_str(), zip_source_buffer(za, content.data(), content.size(), 0), ZIP_FL_ENC_UTF_8);
  zip_close(za);
  return path.string();
}

void BM_SendOfficeDocumentsJob(benchmark::State& state) {
  Rig rig;
  setenv("QUIREL_SOFFICE", (rig.dir / "no-such-office").c_str(), 1);
  const fs::path folder = rig.dir / "docs";
  fs::create_directories(folder);
  std::string docx, odt;
  while (docx.size() < 20000) {
    docx += "<w:p><w:r><w:t>這是第一段的文字，some English words 在中間。</w:t></w:r></w:p>";
    odt += "<text:p>這是第一段的文字，some English words 在中間。</text:p>";
  }
  for (int i = 0; i < 10; ++i) {
    Zipped(folder / ("d" + std::to_string(i) + ".docx"),
           {{"word/document.xml",
             "<w:document xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/"
             "main\"><w:body>" +
                 docx + "</w:body></w:document>"}});
    Zipped(folder / ("o" + std::to_string(i) + ".odt"),
           {{"mimetype", "application/vnd.oasis.opendocument.text"},
            {"content.xml",
             "<office:document-content xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
             "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\"><office:body><office:text>" +
                 odt + "</office:text></office:body></office:document-content>"}});
  }
  send::SendList list;
  list.AddFolder(folder.string());
  rig.ui.sendFormat = send::kConvertFormat;
  for (auto _ : state) {
    if (rig.job->Run(list) != LinkResult::kDone || rig.ui.messages.empty() ||
        rig.ui.messages.back().text.rfind(" 20", 0) != 0)
      state.SkipWithError("the job did not send the twenty documents");
    rig.ui.messages.clear();
    rig.reader->ClearReceived();
  }
  state.counters["documents"] = 20;
  unsetenv("QUIREL_SOFFICE");
}
BENCHMARK(BM_SendOfficeDocumentsJob)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quirel

BENCHMARK_MAIN();
