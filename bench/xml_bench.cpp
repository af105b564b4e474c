// Benchmarks of the XML writer and reader on package-description-sized documents.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>

#include "package/xml/xml_gpr_package.h"
#include "rtl/text.h"
#include "rtl/xml_text_reader.h"
#include "rtl/xml_text_writer.h"

namespace {

using lyr::rtl::CXMLTextReader;
using lyr::rtl::CXMLTextWriter;
using lyr::rtl::Msg;

// A package description with the given number of documents, each with content and two
// signatures, written by the writer.
std::string Description(int64_t documents) {
  CXMLTextWriter writer;
  writer.StartDocument();
  writer.StartElement(Msg(u8"ТрансИнф"));
  writer.AddAttribute(Msg(u8"версияФормата"), Msg(u8"ТДХ:1.0"));
  writer.AddAttribute(Msg(u8"кодТипаДокументооборота"), "01");
  writer.AddAttribute(Msg(u8"идентификаторДокументооборота"), std::string(32, 'a'));
  for (int64_t i = 0; i < documents; ++i) {
    writer.StartElement(Msg(u8"документ"));
    writer.AddAttribute(Msg(u8"кодТипаДокумента"), "01");
    writer.AddAttribute(Msg(u8"типДокумента"), Msg(u8"декларация"));
    writer.AddAttribute(Msg(u8"типСодержимого"), "xml");
    writer.AddAttribute(Msg(u8"сжат"), true);
    writer.AddAttribute(Msg(u8"зашифрован"), false);
    writer.AddAttribute(Msg(u8"идентификаторДокумента"), std::string(32, 'd'));
    writer.AddAttribute(Msg(u8"исходноеИмяФайла"),
                        "NO_NDS_7701_7701_" + std::to_string(i) + ".xml");
    writer.StartElement(Msg(u8"содержимое"));
    writer.AddAttribute(Msg(u8"имяФайла"), std::string(32, 'c') + ".bin");
    writer.EndElement();
    for (int s = 0; s < 2; ++s) {
      writer.StartElement(Msg(u8"подпись"));
      writer.AddAttribute(Msg(u8"имяФайла"), std::string(32, 's') + ".bin");
      writer.AddAttribute(Msg(u8"роль"), Msg(u8"абонент"));
      writer.EndElement();
    }
    writer.EndElement();
  }
  writer.EndDocument();
  return writer.GetXML();
}

// Walks a description as the document classes do: every tag checked by name and its attributes
// read.
int64_t WalkDescription(CXMLTextReader& reader) {
  const std::string document = Msg(u8"документ");
  const std::string content = Msg(u8"содержимое");
  const std::string signature = Msg(u8"подпись");
  const std::string file_name = Msg(u8"имяФайла");
  int64_t found = 0;
  reader.FindElement(Msg(u8"ТрансИнф"));
  benchmark::DoNotOptimize(reader.ReadAttribute(Msg(u8"кодТипаДокументооборота")));
  reader.ReadStartElement(Msg(u8"ТрансИнф"));
  while (reader.GetCurrentElementName() == document) {
    benchmark::DoNotOptimize(reader.ReadAttribute(Msg(u8"типДокумента")));
    benchmark::DoNotOptimize(reader.ReadBoolAttribute(Msg(u8"сжат")));
    benchmark::DoNotOptimize(reader.ReadAttribute(Msg(u8"исходноеИмяФайла")));
    reader.ReadStartElement(document);
    if (reader.GetCurrentElementName() == content) {
      benchmark::DoNotOptimize(reader.ReadAttribute(file_name));
      reader.ReadStartElement(content);
    }
    while (reader.GetCurrentElementName() == signature) {
      benchmark::DoNotOptimize(reader.ReadAttribute(file_name));
      reader.ReadStartElement(signature);
    }
    ++found;
  }
  return found;
}

void BM_WriteDescription(benchmark::State& state) {
  int64_t bytes = 0;
  for (auto _ : state) {
    const std::string text = Description(state.range(0));
    bytes = static_cast<int64_t>(text.size());
    benchmark::DoNotOptimize(text.data());
  }
  state.SetBytesProcessed(state.iterations() * bytes);
  state.counters["bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_WriteDescription)->Arg(1'000)->Arg(30'000)->Unit(benchmark::kMillisecond);

// Reading is linear: the time per byte stays the same from 2 MB to 20 MB.
void BM_ReadDescription(benchmark::State& state) {
  const std::string text = Description(state.range(0));
  CXMLTextReader reader;
  for (auto _ : state) {
    reader.SetXML(text);
    if (WalkDescription(reader) != state.range(0)) {
      state.SkipWithError("documents lost");
    }
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
  state.counters["bytes"] = static_cast<double>(text.size());
}
BENCHMARK(BM_ReadDescription)->Arg(1'000)->Arg(4'500)->Arg(45'000)->Unit(benchmark::kMillisecond);

std::string TextElement(int64_t size) {
  CXMLTextWriter writer;
  writer.StartDocument();
  writer.StartElement("root");
  std::string value;
  value.reserve(static_cast<size_t>(size));
  while (static_cast<int64_t>(value.size()) < size) {
    value += Msg(u8"Текст документа & <разметка> \"цитата\" 0123456789\r\n");
  }
  writer.WriteElement("text", value);
  writer.EndDocument();
  return writer.GetXML();
}

void BM_WriteTextElement(benchmark::State& state) {
  for (auto _ : state) {
    benchmark::DoNotOptimize(TextElement(state.range(0)).data());
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_WriteTextElement)->Arg(5 << 20)->Arg(50 << 20)->Unit(benchmark::kMillisecond);

void BM_ReadTextElement(benchmark::State& state) {
  const std::string text = TextElement(state.range(0));
  CXMLTextReader reader;
  for (auto _ : state) {
    reader.SetXML(text);
    reader.ReadStartElement("root");
    benchmark::DoNotOptimize(reader.ReadElementValue("text").size());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_ReadTextElement)->Arg(5 << 20)->Arg(50 << 20)->Unit(benchmark::kMillisecond);

void FillPackage(lyr::xml::CXMLGprPackage& package, int64_t documents) {
  package.SetThreadType(Msg(u8"ДекларацияНП"));
  package.SetThreadTypeCode("01");
  package.SetTransactType(Msg(u8"ДекларацияНП"));
  package.SetTransactTypeCode("01");
  package.SetProgVersion("Lyr.Tdx.Package880");
  package.Sender().SetSubjectIdentifier("2AA_7701234567");
  package.Sender().SetSubjectCode(1);
  package.SpecialOperator().SetSubjectIdentifier("2AA");
  package.SpecialOperator().SetSubjectCode(3);
  package.Receiver().SetSubjectIdentifier("7701");
  package.Receiver().SetSubjectCode(2);
  for (int64_t i = 0; i < documents; ++i) {
    lyr::xml::CXMLGprDocument& document = package.Documents().Add();
    document.SetDocumentType(Msg(u8"декларация"));
    document.SetDocumentTypeCode("01");
    document.SetContentType("xml");
    document.SetIsCompressed(true);
    document.SetOriginalFilename("NO_NDS_" + std::to_string(i) + ".xml");
    document.SetFileName(std::string(32, 'c') + ".bin");
    for (uint8_t role : {1, 3}) {
      lyr::xml::CXMLGprSignature& signature = document.Signatures().Add();
      signature.SetFileName(std::string(32, 's') + ".bin");
      signature.SetRole(role);
    }
  }
}

// The package description of 1,000 documents (two signatures each), written and read through
// the document classes.
void BM_PackageDescriptionWrite(benchmark::State& state) {
  lyr::xml::CXMLGprPackage package;
  FillPackage(package, state.range(0));
  int64_t bytes = 0;
  for (auto _ : state) {
    bytes = static_cast<int64_t>(package.GetXML().size());
  }
  state.SetBytesProcessed(state.iterations() * bytes);
  state.counters["bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_PackageDescriptionWrite)->Arg(1'000)->Unit(benchmark::kMillisecond);

void BM_PackageDescriptionRead(benchmark::State& state) {
  lyr::xml::CXMLGprPackage written;
  FillPackage(written, state.range(0));
  const std::string text = written.GetXML();
  for (auto _ : state) {
    lyr::xml::CXMLGprPackage package;
    package.SetXML(text);
    package.Read();
    if (package.Documents().Count() != state.range(0)) {
      state.SkipWithError("documents lost");
    }
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
  state.counters["bytes"] = static_cast<double>(text.size());
}
BENCHMARK(BM_PackageDescriptionRead)->Arg(1'000)->Arg(30'000)->Unit(benchmark::kMillisecond);

}  // namespace
