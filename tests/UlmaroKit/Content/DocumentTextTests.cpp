#include "UlmaroKit/Content/ContentTestFiles.h"
#include "UlmaroKit/Content/DocumentText.h"
#include "support/TempDir.h"

#include <fstream>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace ulmaro {
namespace {

using namespace ulmaro::test;
using ::testing::AllOf;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::Optional;

namespace DT = DocumentText;

TEST(DocumentText, ExtractsTheRealDocuments) {
    // Word: the body, then its footnotes after a line feed; comments are not read.
    auto word = DT::extractedText(documentFixture("budget-report.docx"));
    ASSERT_TRUE(word);
    EXPECT_THAT(*word, HasSubstr(" Quarterly report The budget for the summer ÉTÉ campaign is "
                                 "settled. Noted. Second page: Travel costs"));
    EXPECT_THAT(*word, HasSubstr("2024-07. \n Footnote: figures are approximate. "));
    EXPECT_THAT(*word, Not(HasSubstr("Marginalia")));

    // PDF: every page, in order.
    auto pdf = DT::extractedText(documentFixture("budget-report.pdf"));
    ASSERT_TRUE(pdf);
    EXPECT_THAT(*pdf, HasSubstr("Quarterly report\nThe budget for the summer ÉTÉ campaign"));
    EXPECT_LT(pdf->find("Footnote"), pdf->find("Second page"));
    EXPECT_THAT(*pdf, Not(HasSubstr("\f")));

    EXPECT_THAT(DT::extractedText(documentFixture("budget-report.xlsx")),
                Optional(HasSubstr("Budget travel Budget office")));
    EXPECT_THAT(DT::extractedText(documentFixture("budget-report.pptx")),
                Optional(AllOf(HasSubstr("Spending is on track \n"),
                               HasSubstr("The budget grows next year"))));
    // iWork: the printable runs of the Index entries; runs of 3 bytes and runs mostly of
    // punctuation are dropped, and entries outside Index/ are not read.
    EXPECT_EQ(DT::extractedText(documentFixture("budget-report.pages")),
              "Budget notes for the keynote The report closes in May\nPages report");
}

TEST(DocumentText, DocumentsThatCannotBeReadGiveNothing) {
    TempDir dir;
    const std::vector<std::filesystem::path> cases = {
        documentFixture("damaged.docx"),
        documentFixture("huge-claim.docx"),   // its only entry claims almost 4 GiB
        documentFixture("budget-report.odt"), // not one of the extracted kinds
        writeFile(dir / "plain.docx", "just text, not a zip"),
        writeFile(dir / "plain.pdf", "%PDF-1.4 nothing else"),
        writeFile(dir / "empty.pdf", ""),
        dir / "missing.xlsx",
    };
    for (const auto& path : cases)
        EXPECT_EQ(DT::extractedText(path), std::nullopt) << path;
}

TEST(DocumentText, ExtensionIsComparedInLowerCase) {
    TempDir dir;
    std::filesystem::copy_file(documentFixture("budget-report.docx"), dir / "REPORT.DOCX");
    EXPECT_THAT(DT::extractedText(dir / "REPORT.DOCX"), Optional(HasSubstr("Quarterly")));
    EXPECT_EQ(DT::lowerExtension("/a.b/Name.TAR.GZ"), "gz");
    EXPECT_EQ(DT::lowerExtension("/a.b/noext"), "");
}

TEST(DocumentText, DamagedPdfIsQuietAndTextless) {
    TempDir dir;
    std::ifstream in(documentFixture("budget-report.pdf"), std::ios::binary);
    auto data = std::make_optional(std::string(std::istreambuf_iterator<char>(in), {}));
    testing::internal::CaptureStderr();
    auto half = DT::extractedText(writeFile(dir / "half.pdf", data->substr(0, data->size() / 2)));
    auto junk = DT::extractedText(writeFile(dir / "junk.pdf", "%PDF-1.7\n1 0 obj << /Type /"));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(junk, std::nullopt);
    (void)half; // whatever poppler salvages, it must neither throw nor talk
}

TEST(DocumentText, UntrustedPathsAreRefusedWithoutBlocking) {
    TempDir dir;
    makeSparseFile(dir / "large.txt", 100 << 20);
    std::filesystem::create_symlink(dir / "large.txt", dir / "link.txt");
    std::filesystem::create_symlink(documentFixture("budget-report.pdf"), dir / "link.pdf");
    std::filesystem::create_symlink(documentFixture("budget-report.docx"), dir / "link.docx");
    for (const char* name : {"x.txt", "x.pdf", "x.docx"})
        makeFifo(dir / name);

    for (const char* name : {"link.txt", "x.txt", "link.pdf", "x.pdf", "link.docx", "x.docx"}) {
        EXPECT_EQ(DT::text(dir / name), std::nullopt) << name;
    }
    EXPECT_EQ(DT::plainText(dir.path()), std::nullopt);
}

TEST(DocumentText, PdfLargerThanTheDocumentCapIsNotOpened) {
    TempDir dir;
    // The real document followed by zeros: poppler reads it, until the file passes the cap.
    std::filesystem::copy_file(documentFixture("budget-report.pdf"), dir / "padded.pdf");
    std::filesystem::resize_file(dir / "padded.pdf", 2 << 20); // large enough to be mapped
    EXPECT_THAT(DT::extractedText(dir / "padded.pdf"), Optional(HasSubstr("Quarterly")));
    std::filesystem::resize_file(dir / "padded.pdf", DT::maxDocumentBytes + 1);
    EXPECT_EQ(DT::extractedText(dir / "padded.pdf"), std::nullopt);
}

TEST(DocumentText, PlainText) {
    TempDir dir;
    std::string atLimit(DT::maxBytesPerFile - 1, 'a');
    const std::vector<std::tuple<const char*, std::string, std::optional<std::string>>> cases = {
        {"text", "hello\nworld\n", "hello\nworld\n"},
        {"empty", "", std::nullopt},
        {"zero byte early", "abc" + std::string(1, '\0') + "def", std::nullopt},
        {"zero byte after the probe", std::string(4096, 'a') + std::string(1, '\0'),
         std::string(4096, 'a') + std::string(1, '\0')},
        {"invalid UTF-8", "caf\xE9 ok", "caf\xEF\xBF\xBD ok"},
        // The limit cuts "é" in two: its first byte becomes U+FFFD, the rest is not read.
        {"cut at the limit", atLimit + "\xC3\xA9 tail", atLimit + "\xEF\xBF\xBD"},
    };
    for (const auto& [what, bytes, expected] : cases) {
        EXPECT_EQ(DT::plainText(writeFile(dir / "f.txt", bytes)), expected) << what;
    }
    EXPECT_EQ(DT::plainText(dir / "missing.txt"), std::nullopt);
    EXPECT_EQ(DT::plainText(documentFixture("binary.txt")), std::nullopt);
}

TEST(DocumentText, TextChoosesTheReaderByExtension) {
    TempDir dir;
    writeFile(dir / "notes.md", "# budget");
    EXPECT_EQ(DT::text(dir / "notes.md"), "# budget");
    EXPECT_THAT(DT::text(documentFixture("budget-report.xlsx")), Optional(HasSubstr("Budget")));
    EXPECT_EQ(DT::text(writeFile(dir / "fake.xlsx", "not a zip")), std::nullopt);
}

TEST(DocumentText, TextFromXML) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"<w:t>Hello</w:t>", " Hello "},
        {"plain", "plain"},
        {"a  \t\r\n b", "a b"},
        {"<a> <b/>\n<c>x</c></a>", " x "},
        {"a&amp;b", "a&amp;b"},
        {"<a href=\"x>y\">t</a>", " y\"t "}, // a ">" outside a tag is dropped
        {"x<!-- note -->y", "x y"},
        {"<![CDATA[raw]]>", " "},
        {"caf\xC3\xA9 \xFF", "caf\xC3\xA9 \xEF\xBF\xBD"},
        {"", ""},
    };
    for (const auto& [xml, text] : cases)
        EXPECT_EQ(DT::textFromXML(xml), text) << xml;
}

TEST(DocumentText, PrintableRuns) {
    using namespace std::string_literals;
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"\x01"s + "abc" + "\x02" + "abcd" + "\x7f" + "Hello world", "abcd Hello world"},
        {"\x00"
         "a.,;:!?"
         "\x00"
         "ab.."
         "\x00"
         "ab..."
         "\x00"
         "ab. ,"s,
         "ab.. ab. ,"}, // at least half letters, digits or spaces
        {"caf\xC3\xA9"
         "s\x00\xFF\xFE\xFD\xFC"s,
         "caf\xC3\xA9s"}, // invalid UTF-8 is dropped
        {"a\xEF\xBF\xBD"
         "bcd",
         ""}, // so is a written U+FFFD
        {"\x10\x11\x12", ""},
        {"", ""},
    };
    for (const auto& [bytes, text] : cases)
        EXPECT_EQ(DT::printableRuns(bytes, 4), text) << bytes;
}

} // namespace
} // namespace ulmaro
