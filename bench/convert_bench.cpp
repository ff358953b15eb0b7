// Speed of the conversions on generated documents of tens of megabytes: the
// row layout of text and of web pages, and the Big5 recoding. The row layout
// is one pass with a tiny state; compare its rate with
//   iconv -f GBK -t UTF-8 FILE > /dev/null
// on the generated text, which is kept when QUIREL_BENCH_KEEP is set (its
// path is printed).
#include <benchmark/benchmark.h>
#include <zip.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "common/text.h"
#include "convert/big5.h"
#include "convert/byte_source.h"
#include "convert/convert.h"
#include "convert/ebook_check.h"
#include "convert/layout.h"
#include "tests/support/fake_ui.h"

namespace quirel::convert {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kDocumentBytes = 32u << 20;

// A small deterministic generator, so every run sees the same document.
struct Random {
  std::uint32_t state = 12345;
  std::uint32_t Next() {
    state = state * 1664525u + 1013904223u;
    return state >> 8;
  }
};

// GB text: paragraphs of Chinese characters, full-width punctuation and
// English words, CR LF line ends, indented paragraph starts.
std::string MakeGbText(std::size_t size) {
  Random random;
  std::string text;
  text.reserve(size + 256);
  while (text.size() < size) {
    text += "\xA1\xA1\xA1\xA1";
    const std::uint32_t lines = 1 + random.Next() % 4;
    for (std::uint32_t l = 0; l < lines; ++l) {
      const std::uint32_t pieces = 10 + random.Next() % 30;
      for (std::uint32_t p = 0; p < pieces; ++p) {
        const std::uint32_t kind = random.Next() % 10;
        if (kind < 7) {
          text.push_back(static_cast<char>(0xB0 + random.Next() % 39));  // 0xB0..0xD6: all assigned
          text.push_back(static_cast<char>(0xA1 + random.Next() % 94));
        } else if (kind < 8) {
          text += "\xA3\xAC";  // ，
        } else {
          text += " word";
          text += static_cast<char>('a' + random.Next() % 26);
          text += ' ';
        }
      }
      text += "\xA1\xA3\r\n";
    }
    if (random.Next() % 3 == 0) text += "\r\n";
  }
  return text;
}

// A web page around the same text: paragraphs, line breaks, links, entities
// and now and then a comment.
std::string MakePage(std::size_t size) {
  Random random;
  const std::string body = MakeGbText(size);
  std::string page = "<html><head><title>t</title><style>p{margin:0}</style></head><body>\r\n";
  page.reserve(size + size / 4);
  std::size_t start = 0;
  while (start < body.size()) {
    std::size_t end = body.find("\r\n", start);
    if (end == std::string::npos) end = body.size();
    page += "<p>";
    page.append(body, start, end - start);
    const std::uint32_t kind = random.Next() % 8;
    if (kind == 0)
      page += "<a href=\"http://example.com/page.html\">link</a>";
    else if (kind == 1)
      page += "&nbsp;&amp;";
    else if (kind == 2)
      page += "<!-- note -->";
    else if (kind == 3)
      page += "<br>";
    page += "</p>\r\n";
    start = end + 2;
  }
  page += "</body></html>\r\n";
  return page;
}

// Big5 rows: pairs with trail bytes in both ranges, blanks between.
std::vector<std::uint8_t> MakeBig5Rows(std::size_t size) {
  Random random;
  std::vector<std::uint8_t> rows;
  rows.reserve(size);
  while (rows.size() + 20 <= size) {
    for (int col = 0; col < 20; col += 2) {
      if (random.Next() % 8 == 0) {
        rows.push_back(' ');
        rows.push_back(' ');
        continue;
      }
      rows.push_back(static_cast<std::uint8_t>(0xA4 + random.Next() % 0x50));
      const std::uint32_t t = random.Next() % (63 + 94);
      rows.push_back(static_cast<std::uint8_t>(t < 63 ? 0x40 + t : 0xA1 + (t - 63)));
    }
  }
  return rows;
}

constexpr const char* kChapterHead =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?><html xmlns=\"http://www.w3.org/1999/xhtml\"><head><title>t</title>"
    "<style>p{text-indent:2em}</style></head><body><h1>Chapter</h1>\n";

std::string ToUtf16Le(const std::string& utf8) {
  std::string out;
  out.reserve(utf8.size());
  const auto* p = reinterpret_cast<const std::uint8_t*>(utf8.data());
  for (std::size_t i = 0; i < utf8.size();) {
    std::uint32_t cp = 0;
    const int len = DecodeUtf8(p + i, utf8.size() - i, cp);
    i += len > 0 ? static_cast<std::size_t>(len) : 1;
    out.push_back(static_cast<char>(cp & 0xFF));
    out.push_back(static_cast<char>(cp >> 8));
  }
  return out;
}

struct Workspace {
  fs::path dir;
  Environment env;
  quirel::testing::FakeUi ui;
  std::string textPath, pagePath, utf8Path, utf16Path, epubPath;

  Workspace() {
    dir = fs::temp_directory_path() / "quirel-convert-bench";
    fs::create_directories(dir / "system");
    env.home = dir.string();
    env.systemDir = (dir / "system").string();
  }
  ~Workspace() {
    if (std::getenv("QUIREL_BENCH_KEEP") == nullptr) {
      std::error_code ec;
      fs::remove_all(dir, ec);
    }
  }
  static void Write(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }
  const std::string& Text() {
    if (textPath.empty()) {
      textPath = (dir / "text.txt").string();
      Write(textPath, MakeGbText(kDocumentBytes));
      std::cerr << "generated GBK text: " << textPath << '\n';
    }
    return textPath;
  }
  const std::string& Utf8Text() {
    if (utf8Path.empty()) {
      utf8Path = (dir / "utf8.txt").string();
      Write(utf8Path, GbkToUtf8(MakeGbText(kDocumentBytes)));
    }
    return utf8Path;
  }
  const std::string& Utf16Text() {
    if (utf16Path.empty()) {
      utf16Path = (dir / "utf16.txt").string();
      Write(utf16Path, ToUtf16Le(GbkToUtf8(MakeGbText(kDocumentBytes))));
    }
    return utf16Path;
  }
  // An EPUB of about 5 MB: chapters of paragraphs of the same text.
  const std::string& Epub() {
    if (!epubPath.empty()) return epubPath;
    epubPath = (dir / "book.epub").string();
    const std::string text = GbkToUtf8(MakeGbText(15u << 19));
    std::vector<std::string> chapters;
    std::string chapter;
    std::size_t start = 0;
    while (start < text.size()) {
      std::size_t end = text.find("\r\n", start);
      if (end == std::string::npos) end = text.size();
      chapter += "<p class=\"text\">" + text.substr(start, end - start) + "</p>\n";
      if (chapter.size() > 200000) {
        chapters.push_back(kChapterHead + chapter + "</body></html>");
        chapter.clear();
      }
      start = end + 2;
    }
    chapters.push_back(kChapterHead + chapter + "</body></html>");
    std::string manifest, spine;
    for (std::size_t i = 0; i < chapters.size(); ++i) {
      const std::string id = "c" + std::to_string(i);
      manifest += "<item id=\"" + id + "\" href=\"" + id + ".xhtml\" media-type=\"application/xhtml+xml\"/>";
      spine += "<itemref idref=\"" + id + "\"/>";
    }
    const std::string opf =
        "<?xml version=\"1.0\"?><package xmlns=\"http://www.idpf.org/2007/opf\" version=\"3.0\">"
        "<manifest>" +
        manifest + "</manifest><spine>" + spine + "</spine></package>";
    int error = 0;
    zip_t* za = zip_open(epubPath.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    auto add = [&](const std::string& name, const std::string& content) {
      zip_file_add(za, name.c_str(), zip_source_buffer(za, content.data(), content.size(), 0), ZIP_FL_ENC_UTF_8);
    };
    const std::string mimetype = "application/epub+zip";
    const std::string container =
        "<container xmlns=\"urn:oasis:names:tc:opendocument:xmlns:container\"><rootfiles>"
        "<rootfile full-path=\"OEBPS/content.opf\" media-type=\"application/oebps-package+xml\"/></rootfiles>"
        "</container>";
    add("mimetype", mimetype);
    add("META-INF/container.xml", container);
    add("OEBPS/content.opf", opf);
    for (std::size_t i = 0; i < chapters.size(); ++i) add("OEBPS/c" + std::to_string(i) + ".xhtml", chapters[i]);
    zip_close(za);
    std::cerr << "generated EPUB: " << epubPath << " (" << fs::file_size(epubPath) << " bytes)\n";
    return epubPath;
  }
  const std::string& Page() {
    if (pagePath.empty()) {
      pagePath = (dir / "page.htm").string();
      Write(pagePath, MakePage(kDocumentBytes));
    }
    return pagePath;
  }
};

Workspace& Space() {
  static Workspace space;
  return space;
}

std::int64_t FileBytes(const std::string& path) { return static_cast<std::int64_t>(fs::file_size(path)); }

// The rows of the last run, held to what the reader needs of every byte: a
// fast conversion of wrong rows is no result.
void CheckWorkRows(benchmark::State& state, const Workspace& space, int width) {
  std::vector<RowFault> faults;
  if (!CheckEbookFile(space.env.SystemFile(kEbookWork), width, faults, 1) || !faults.empty())
    state.SkipWithError("the rows fail the e-book check");
}

void BM_TextToEbook(benchmark::State& state) {
  Workspace& space = Space();
  const std::string& path = space.Text();
  Context ctx{space.env, space.ui, static_cast<int>(state.range(0))};
  for (auto _ : state) {
    if (TextToEbook(ctx, path) != ConvertResult::kDone) state.SkipWithError("TextToEbook failed");
  }
  CheckWorkRows(state, space, static_cast<int>(state.range(0)));
  state.SetBytesProcessed(FileBytes(path) * state.iterations());
}
BENCHMARK(BM_TextToEbook)->Arg(20)->Arg(16)->Unit(benchmark::kMillisecond);

// UTF-8 text: the scan for UTF-8, then the recoding to GBK on the way in.
void BM_Utf8TextToEbook(benchmark::State& state) {
  Workspace& space = Space();
  const std::string& path = space.Utf8Text();
  Context ctx{space.env, space.ui, 20};
  for (auto _ : state) {
    if (TextToEbook(ctx, path) != ConvertResult::kDone) state.SkipWithError("TextToEbook failed");
  }
  CheckWorkRows(state, space, 20);
  state.SetBytesProcessed(FileBytes(path) * state.iterations());
}
BENCHMARK(BM_Utf8TextToEbook)->Unit(benchmark::kMillisecond);

// UTF-16 text without a byte-order mark: its shape is recognised, then every
// unit goes through the reader's forms on the way in.
void BM_Utf16TextToEbook(benchmark::State& state) {
  Workspace& space = Space();
  const std::string& path = space.Utf16Text();
  Context ctx{space.env, space.ui, 20};
  for (auto _ : state) {
    if (TextToEbook(ctx, path) != ConvertResult::kDone) state.SkipWithError("TextToEbook failed");
  }
  CheckWorkRows(state, space, 20);
  state.SetBytesProcessed(FileBytes(path) * state.iterations());
}
BENCHMARK(BM_Utf16TextToEbook)->Unit(benchmark::kMillisecond);

// A book of about 5 MB: unzipping, parsing every chapter, the forms and
// the rows.
void BM_EpubToEbook(benchmark::State& state) {
  Workspace& space = Space();
  const std::string& path = space.Epub();
  Context ctx{space.env, space.ui, 20};
  for (auto _ : state) {
    if (BookToEbook(ctx, path, kEpub) != ConvertResult::kDone) state.SkipWithError("BookToEbook failed");
  }
  CheckWorkRows(state, space, 20);
  state.SetBytesProcessed(FileBytes(path) * state.iterations());
}
BENCHMARK(BM_EpubToEbook)->Unit(benchmark::kMillisecond);

// The layout alone, from memory to memory.
void BM_RowLayoutInMemory(benchmark::State& state) {
  const std::string text = MakeGbText(kDocumentBytes);
  for (auto _ : state) {
    StringRowSink sink;
    sink.out.reserve(text.size() + text.size() / 4);
    StringSource in(text);
    CrLfSource lines(in);
    LayoutTextStream(lines, 20, sink);
    benchmark::DoNotOptimize(sink.out.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(text.size()) * state.iterations());
}
BENCHMARK(BM_RowLayoutInMemory)->Unit(benchmark::kMillisecond);

void BM_HtmlTextToEbook(benchmark::State& state) {
  Workspace& space = Space();
  const std::string& path = space.Page();
  Context ctx{space.env, space.ui, 20};
  for (auto _ : state) {
    if (HtmlTextToEbook(ctx, path) != ConvertResult::kDone) state.SkipWithError("HtmlTextToEbook failed");
  }
  CheckWorkRows(state, space, 20);
  state.SetBytesProcessed(FileBytes(path) * state.iterations());
}
BENCHMARK(BM_HtmlTextToEbook)->Unit(benchmark::kMillisecond);

void BM_Big5Recoding(benchmark::State& state) {
  const std::vector<std::uint8_t> rows = MakeBig5Rows(kDocumentBytes);
  std::vector<std::uint8_t> out;
  Big5ToGbTable();  // derived once, outside the timing
  for (auto _ : state) {
    RecodeBig5(rows, out);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(rows.size()) * state.iterations());
}
BENCHMARK(BM_Big5Recoding)->Unit(benchmark::kMillisecond);

// The whole check: detection, load, recoding and writing of the work files.
void BM_CheckTextCodeBig5(benchmark::State& state) {
  Workspace& space = Space();
  const std::vector<std::uint8_t> rows = MakeBig5Rows(kDocumentBytes);
  Workspace::Write(space.env.SystemFile(kEbookWork), std::string(rows.begin(), rows.end()));
  Context ctx{space.env, space.ui, 20};
  Big5ToGbTable();
  for (auto _ : state) {
    if (CheckTextCode(ctx) != TextCode::kRecoded) state.SkipWithError("rows not taken for Big5");
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(rows.size()) * state.iterations());
}
BENCHMARK(BM_CheckTextCodeBig5)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quirel::convert

BENCHMARK_MAIN();
