// The code tables of the package engine and their lookups.
#include "package/tdx880_tool.h"

#include <array>
#include <optional>
#include <vector>

#include "rtl/errors.h"
#include "rtl/text.h"

namespace lyr::package {
namespace {

// The tables are written here in UTF-8 and converted to windows-1251 once, on first use.
struct ThreadTypeSource {
  std::string_view code;
  std::u8string_view name;
};

struct TransactionSource {
  std::string_view thread;
  std::string_view transact;
  std::u8string_view name;
  SubjectCode sender;
  SubjectCode receiver;
};

struct AnswerSource {
  std::string_view thread;
  std::string_view transact;
  std::u8string_view name;
  SubjectCode sender;
  std::string_view preceding;
};

struct DocumentTypeSource {
  std::string_view thread;
  std::string_view doc;
  std::u8string_view name;
  bool encrypt;
};

struct MainDocumentSource {
  std::string_view thread;
  std::string_view transact;
  std::string_view doc;
  bool main;
};

// clang-format off
constexpr ThreadTypeSource kThreadTypes[] = {
    {"01", u8"Декларация"},
    {"02", u8"ОбращениеНП"},
    {"03", u8"ПисьмоНО"},
    {"04", u8"Рассылка"},
    {"05", u8"РассылкаГрупповая"},
    {"06", u8"ИОН"},
    {"07", u8"ОшибкаОбработкиПакета"},
    {"08", u8"Сведения2НДФЛ"},
    {"88", u8"ЗаявлениеУчет"},
};

constexpr TransactionSource kTransactions[] = {
    {"01", "01", u8"ДекларацияНП", 1, 2},
    {"01", "02", u8"ИзвещениеДекларацияНО", 2, 1},
    {"01", "03", u8"ИзвещениеПодтверждениеНО", 2, 3},
    {"01", "04", u8"РезультатПриемаДекларацияНО", 2, 1},
    {"01", "05", u8"ИзвещениеРезультатПриемаСОС", 3, 2},
    {"01", "06", u8"ИзвещениеРезультатПриемаНП", 1, 2},
    {"01", "07", u8"РезультатОбработкиДекларацияНО", 2, 1},
    {"01", "08", u8"ИзвещениеРезультатОбработкиСОС", 3, 2},
    {"01", "09", u8"ИзвещениеРезультатОбработкиНП", 1, 2},
    {"01", "10", u8"ПодтверждениеДекларацияНО", 2, 1},
    {"01", "11", u8"ИзвещениеПодтверждениеНП", 1, 2},
    {"01", "20", u8"ПодтверждениеДекларацияСОС", 3, 1},
    {"01", "21", u8"ИзвещениеПодтверждениеСОСНП", 1, 3},
    {"02", "01", u8"ОбращениеНП", 1, 2},
    {"02", "02", u8"ИзвещениеОбращениеНО", 2, 1},
    {"02", "03", u8"ИзвещениеПодтверждениеНО", 2, 3},
    {"02", "04", u8"РезультатПриемаОбращениеНО", 2, 1},
    {"02", "05", u8"ИзвещениеРезультатПриемаСОС", 3, 2},
    {"02", "06", u8"ИзвещениеРезультатПриемаНП", 1, 2},
    {"02", "10", u8"ПодтверждениеОбращениеНО", 2, 1},
    {"02", "11", u8"ИзвещениеПодтверждениеНП", 1, 2},
    {"02", "20", u8"ПодтверждениеОбращениеСОС", 3, 1},
    {"02", "21", u8"ИзвещениеПодтверждениеСОСНП", 1, 3},
    {"03", "01", u8"ПисьмоНО", 2, 1},
    {"03", "02", u8"ПодтверждениеПисьмоСОС", 3, 2},
    {"03", "03", u8"ИзвещениеПисьмоНП", 1, 2},
    {"03", "04", u8"ИзвещениеПодтверждениеНО", 2, 3},
    {"04", "01", u8"РассылкаНО", 2, 3},
    {"04", "02", u8"ПодтверждениеРассылкаСОС", 3, 2},
    {"04", "03", u8"ИзвещениеПодтверждениеНО", 2, 3},
    {"05", "01", u8"РассылкаНО", 2, 3},
    {"05", "02", u8"ПодтверждениеРассылкаСОС", 3, 2},
    {"05", "03", u8"ИзвещениеРассылкаНП", 1, 2},
    {"05", "04", u8"04", 2, 3},  // named by its digits
    {"06", "01", u8"ЗапросНП", 1, 2},
    {"06", "02", u8"ИзвещениеЗапросНО", 2, 1},
    {"06", "03", u8"ИзвещениеПодтверждениеНО", 2, 3},
    {"06", "04", u8"РезультатПриемаЗапросНО", 2, 1},
    {"06", "05", u8"ИзвещениеРезультатПриемаСОС", 3, 2},
    {"06", "06", u8"ИзвещениеРезультатПриемаНП", 1, 2},
    {"06", "07", u8"РезультатОбработкиЗапросНО", 2, 1},
    {"06", "08", u8"ИзвещениеРезультатОбработкиСОС", 3, 2},
    {"06", "09", u8"ИзвещениеРезультатОбработкиНП", 1, 2},
    {"06", "10", u8"ПодтверждениеЗапросНО", 2, 1},
    {"06", "11", u8"ИзвещениеПодтверждениеНП", 1, 2},
    {"06", "20", u8"ПодтверждениеЗапросСОС", 3, 1},
    {"06", "21", u8"ИзвещениеПодтверждениеСОСНП", 1, 3},
    {"07", "01", u8"СообщениеОбОшибке", 2, 1},
    {"08", "01", u8"Форма2НДФЛНП", 1, 2},
    {"08", "02", u8"ИзвещениеФорма2НДФЛНО", 2, 1},
    {"08", "03", u8"ИзвещениеПодтверждениеНО", 2, 3},
    {"08", "04", u8"РезультатПриемаФорма2НДФЛНО", 2, 1},
    {"08", "05", u8"ИзвещениеРезультатПриемаСОС", 3, 2},
    {"08", "06", u8"ИзвещениеРезультатПриемаНП", 1, 2},
    {"08", "10", u8"ПодтверждениеФорма2НДФЛНО", 2, 1},
    {"08", "11", u8"ИзвещениеПодтверждениеНП", 1, 2},
    {"08", "20", u8"ПодтверждениеФорма2НДФЛСОС", 3, 1},
    {"08", "21", u8"ИзвещениеПодтверждениеСОСНП", 2, 1},  // from 2 to 1, unlike 01, 02, 06
    {"88", "77", u8"УчетФЛ", 1, 11},
};

// The transactions again, each with the transaction it answers (empty for a flow's first one).
constexpr AnswerSource kAnswers[] = {
    {"01", "01", u8"ДекларацияНП", 1, ""},
    {"01", "02", u8"ИзвещениеДекларацияНО", 2, "01"},
    {"01", "03", u8"ИзвещениеПодтверждениеНО", 2, "01"},
    {"01", "04", u8"РезультатПриемаДекларацияНО", 2, "01"},
    {"01", "05", u8"ИзвещениеРезультатПриемаСОС", 3, "04"},
    {"01", "06", u8"ИзвещениеРезультатПриемаНП", 1, "04"},
    {"01", "07", u8"РезультатОбработкиДекларацияНО", 2, "01"},
    {"01", "08", u8"ИзвещениеРезультатОбработкиСОС", 3, "07"},
    {"01", "09", u8"ИзвещениеРезультатОбработкиНП", 1, "07"},
    {"01", "10", u8"ПодтверждениеДекларацияНО", 2, "01"},
    {"01", "11", u8"ИзвещениеПодтверждениеНП", 1, "11"},
    {"01", "20", u8"ПодтверждениеДекларацияСОС", 3, "01"},
    {"01", "21", u8"ИзвещениеПодтверждениеСОСНП", 1, "20"},
    {"02", "01", u8"ОбращениеНП", 1, ""},
    {"02", "02", u8"ИзвещениеОбращениеНО", 2, "01"},
    {"02", "03", u8"ИзвещениеПодтверждениеНО", 2, "01"},
    {"02", "04", u8"РезультатПриемаОбращениеНО", 2, "01"},
    {"02", "05", u8"ИзвещениеРезультатПриемаСОС", 3, "04"},
    {"02", "06", u8"ИзвещениеРезультатПриемаНП", 1, "04"},
    {"02", "10", u8"ПодтверждениеОбращениеНО", 2, "01"},
    {"02", "11", u8"ИзвещениеПодтверждениеНП", 1, "11"},
    {"02", "20", u8"ПодтверждениеОбращениеСОС", 3, "01"},
    {"02", "21", u8"ИзвещениеПодтверждениеСОСНП", 1, "21"},
    {"03", "01", u8"ПисьмоНО", 2, ""},
    {"03", "02", u8"ПодтверждениеПисьмоСОС", 3, "01"},
    {"03", "03", u8"ИзвещениеПисьмоНП", 1, "01"},
    {"03", "04", u8"ИзвещениеПодтверждениеНО", 2, "02"},
    {"04", "01", u8"РассылкаНО", 2, ""},
    {"04", "02", u8"ПодтверждениеРассылкаСОС", 3, "01"},
    {"04", "03", u8"ИзвещениеПодтверждениеНО", 2, "02"},
    {"05", "01", u8"РассылкаНО", 2, ""},
    {"05", "02", u8"ПодтверждениеРассылкаСОС", 3, "01"},
    {"05", "03", u8"ИзвещениеРассылкаНП", 1, "01"},
    {"05", "04", u8"04", 2, "02"},
    {"06", "01", u8"ЗапросНП", 1, ""},
    {"06", "02", u8"ИзвещениеЗапросНО", 2, "01"},
    {"06", "03", u8"ИзвещениеПодтверждениеНО", 2, "01"},
    {"06", "04", u8"РезультатПриемаЗапросНО", 2, "01"},
    {"06", "05", u8"ИзвещениеРезультатПриемаСОС", 3, "04"},
    {"06", "06", u8"ИзвещениеРезультатПриемаНП", 1, "04"},
    {"06", "07", u8"РезультатОбработкиЗапросНО", 2, "01"},
    {"06", "08", u8"ИзвещениеРезультатОбработкиСОС", 3, "07"},
    {"06", "09", u8"ИзвещениеРезультатОбработкиНП", 1, "07"},
    {"06", "10", u8"ПодтверждениеЗапросНО", 2, "01"},
    {"06", "11", u8"ИзвещениеПодтверждениеНП", 1, "10"},
    {"06", "20", u8"ПодтверждениеЗапросСОС", 3, "01"},
    {"06", "21", u8"ИзвещениеПодтверждениеСОСНП", 1, "20"},
    {"07", "01", u8"СообщениеОбОшибке", 2, ""},
    {"08", "01", u8"Форма2НДФЛНП", 1, ""},
    {"08", "02", u8"ИзвещениеФорма2НДФЛНО", 2, "01"},
    {"08", "03", u8"ИзвещениеПодтверждениеНО", 2, "01"},
    {"08", "04", u8"РезультатПриемаФорма2НДФЛНО", 2, "01"},
    {"08", "05", u8"ИзвещениеРезультатПриемаСОС", 3, "04"},
    {"08", "06", u8"ИзвещениеРезультатПриемаНП", 1, "04"},
    {"08", "10", u8"ПодтверждениеФорма2НДФЛНО", 2, "01"},
    {"08", "11", u8"ИзвещениеПодтверждениеНП", 1, "10"},
    {"08", "20", u8"ПодтверждениеФорма2НДФЛСОС", 3, "01"},
    {"08", "21", u8"ИзвещениеПодтверждениеСОСНП", 2, "20"},
    {"88", "77", u8"УчетФЛ", 1, ""},
};

constexpr DocumentTypeSource kDocumentTypes[] = {
    {"01", "01", u8"декларация", true},
    {"01", "02", u8"описание", false},
    {"01", "03", u8"доверенность", true},
    {"01", "10", u8"приложение", true},
    {"01", "04", u8"подтверждениеДатыОтправки", false},
    {"01", "05", u8"уведомлениеОбОтказе", true},
    {"01", "06", u8"квитанцияОПриеме", true},
    {"01", "07", u8"уведомлениеОбУточнении", true},
    {"01", "08", u8"извещениеОВводе", true},
    {"01", "09", u8"извещениеОПолучении", false},
    {"02", "01", u8"обращение", true},
    {"02", "02", u8"описание", false},
    {"02", "03", u8"приложение", true},
    {"02", "04", u8"доверенность", true},
    {"02", "05", u8"подтверждениеДатыОтправки", false},
    {"02", "06", u8"извещениеОПолучении", false},
    {"02", "07", u8"уведомлениеОбОтказе", true},
    {"02", "08", u8"подтверждениеДатыПолучения", false},
    {"03", "01", u8"письмо", true},
    {"03", "02", u8"описание", false},
    {"03", "03", u8"приложение", true},
    {"03", "04", u8"подтверждениеДатыОтправки", false},
    {"03", "05", u8"извещениеОПолучении", false},
    {"04", "01", u8"рассылка", false},
    {"04", "02", u8"описание", false},
    {"04", "03", u8"приложение", false},
    {"04", "04", u8"подтверждениеДатыОтправки", false},
    {"04", "05", u8"извещениеОПолучении", false},
    {"05", "01", u8"рассылка", false},
    {"05", "02", u8"описание", false},
    {"05", "03", u8"приложение", false},
    {"05", "04", u8"подтверждениеДатыОтправки", false},
    {"05", "05", u8"извещениеОПолучении", false},
    {"06", "01", u8"запрос", true},
    {"06", "02", u8"описание", false},
    {"06", "03", u8"доверенность", true},
    {"06", "04", u8"подтверждениеДатыОтправки", false},
    {"06", "05", u8"квитанцияОПриеме", true},
    {"06", "06", u8"уведомлениеОбОтказе", true},
    {"06", "07", u8"ответ", true},
    {"06", "08", u8"извещениеОПолучении", false},
    {"06", "09", u8"подтверждениеДатыПолучения", false},
    {"07", "01", u8"сообщениеОбОшибке", false},
    {"07", "02", u8"описаниеОшибочногоПакета", false},
    {"08", "01", u8"форма2НДФЛ", true},
    {"08", "02", u8"описание", false},
    {"08", "03", u8"доверенность", true},
    {"08", "04", u8"подтверждениеДатыОтправки", false},
    {"08", "05", u8"протоколПриема2НДФЛ", true},
    {"08", "06", u8"реестрПринятыхДокументов", true},
    {"08", "07", u8"извещениеОПолучении", false},
    {"88", "33", u8"заявление", true},
    {"88", "34", u8"запрос", true},
};

constexpr MainDocumentSource kMainDocuments[] = {
    {"01", "01", "01", true},
    {"01", "01", "03", false},
    {"01", "01", "10", false},
    {"01", "01", "02", false},
    {"01", "01", "04", false},
    {"01", "02", "09", true},
    {"01", "03", "09", true},
    {"01", "05", "09", true},
    {"01", "06", "09", true},
    {"01", "08", "09", true},
    {"01", "09", "09", true},
    {"01", "11", "09", true},
    {"01", "21", "09", true},
    {"01", "04", "06", true},
    {"01", "04", "05", true},
    {"01", "04", "01", false},
    {"01", "07", "07", true},
    {"01", "07", "08", true},
    {"01", "10", "04", true},
    {"01", "20", "04", true},
    {"02", "01", "01", true},
    {"02", "01", "02", false},
    {"02", "01", "03", false},
    {"02", "01", "04", false},
    {"02", "01", "05", false},
    {"02", "02", "06", true},
    {"02", "03", "06", true},
    {"02", "05", "06", true},
    {"02", "06", "06", true},
    {"02", "11", "06", true},
    {"02", "21", "06", true},
    {"02", "04", "07", true},
    {"02", "10", "08", true},
    {"02", "20", "05", true},
    {"03", "01", "01", true},
    {"03", "01", "02", false},
    {"03", "01", "03", false},
    {"03", "02", "04", true},
    {"03", "03", "05", true},
    {"03", "04", "05", true},
    {"04", "01", "01", true},
    {"04", "01", "02", false},
    {"04", "01", "03", false},
    {"04", "02", "04", true},
    {"04", "03", "05", true},
    {"05", "01", "01", true},
    {"05", "01", "02", false},
    {"05", "01", "03", false},
    {"05", "02", "04", true},
    {"05", "03", "05", true},
    {"05", "04", "05", true},
    {"06", "01", "01", true},
    {"06", "01", "02", false},
    {"06", "01", "03", false},
    {"06", "01", "04", false},
    {"06", "02", "08", true},
    {"06", "03", "08", true},
    {"06", "05", "08", true},
    {"06", "06", "08", true},
    {"06", "08", "08", true},
    {"06", "09", "08", true},
    {"06", "11", "08", true},
    {"06", "21", "08", true},
    {"06", "04", "06", true},
    {"06", "04", "05", true},
    {"06", "04", "01", false},
    {"06", "07", "07", true},
    {"06", "10", "09", true},
    {"06", "20", "04", true},
    {"07", "01", "01", true},
    {"07", "01", "02", false},
    {"08", "01", "01", true},
    {"08", "01", "03", false},
    {"08", "01", "02", false},
    {"08", "01", "04", false},
    {"08", "02", "07", true},
    {"08", "03", "07", true},
    {"08", "05", "07", true},
    {"08", "06", "07", true},
    {"08", "11", "07", true},
    {"08", "21", "07", true},
    {"08", "04", "05", true},
    {"08", "04", "06", false},
    {"08", "10", "04", true},
    {"08", "20", "04", true},
    {"88", "77", "33", true},
    {"88", "77", "34", false},
};
// clang-format on

static_assert(std::size(kThreadTypes) == 9);
static_assert(std::size(kTransactions) == 59);
static_assert(std::size(kAnswers) == std::size(kTransactions));
static_assert(std::size(kDocumentTypes) == 53);
static_assert(std::size(kMainDocuments) == 87);

const std::vector<ThreadTypeRow>& ThreadTypeTable() {
  static const std::vector<ThreadTypeRow> rows = [] {
    std::vector<ThreadTypeRow> result;
    for (const ThreadTypeSource& source : kThreadTypes) {
      result.push_back({source.code, rtl::Utf8ToAnsi(source.name)});
    }
    return result;
  }();
  return rows;
}

const std::vector<TransactionRow>& TransactionTable() {
  static const std::vector<TransactionRow> rows = [] {
    std::vector<TransactionRow> result;
    for (const TransactionSource& source : kTransactions) {
      result.push_back({source.thread, source.transact, rtl::Utf8ToAnsi(source.name), source.sender,
                        source.receiver});
    }
    return result;
  }();
  return rows;
}

const std::vector<AnswerRow>& AnswerTable() {
  static const std::vector<AnswerRow> rows = [] {
    std::vector<AnswerRow> result;
    for (const AnswerSource& source : kAnswers) {
      result.push_back({source.thread, source.transact, rtl::Utf8ToAnsi(source.name), source.sender,
                        source.preceding});
    }
    return result;
  }();
  return rows;
}

const std::vector<DocumentTypeRow>& DocumentTypeTable() {
  static const std::vector<DocumentTypeRow> rows = [] {
    std::vector<DocumentTypeRow> result;
    for (const DocumentTypeSource& source : kDocumentTypes) {
      result.push_back({source.thread, source.doc, rtl::Utf8ToAnsi(source.name), source.encrypt});
    }
    return result;
  }();
  return rows;
}

const std::vector<MainDocumentRow>& MainDocumentTable() {
  static const std::vector<MainDocumentRow> rows = [] {
    std::vector<MainDocumentRow> result;
    for (const MainDocumentSource& source : kMainDocuments) {
      result.push_back({source.thread, source.transact, source.doc, source.main});
    }
    return result;
  }();
  return rows;
}

// Engine subject codes and the automation values that number them, in both directions.
struct CodePair {
  int32_t engine;
  int32_t automation;
};

constexpr std::array<CodePair, 5> kCodePairs = {{
    {kSubjectUnknown, SIGN_ROLE_TYPE_UNKNOWN},
    {kSubjectAbonent, SIGN_ROLE_TYPE_ABONENT},
    {kSubjectTaxAuthority, SIGN_ROLE_TYPE_TDX},
    {kSubjectSpecialOperator, SIGN_ROLE_TYPE_SOS},
    {kSubjectDataCentre, SIGN_ROLE_TYPE_FCOD},
}};

std::optional<SIGN_ROLE_TYPES> EngineToAutomation(int32_t code) {
  for (const CodePair& pair : kCodePairs) {
    if (pair.engine == code) {
      return static_cast<SIGN_ROLE_TYPES>(pair.automation);
    }
  }
  return std::nullopt;
}

std::optional<SubjectCode> AutomationToEngine(int32_t value) {
  for (const CodePair& pair : kCodePairs) {
    if (pair.automation == value) {
      return static_cast<SubjectCode>(pair.engine);
    }
  }
  return std::nullopt;
}

}  // namespace

std::string CTdx880Tool::GetThreadTypeName(std::string_view thread_type_code) {
  const ThreadTypeRow* row = FindFirstRow(ThreadTypes(), [&](const ThreadTypeRow& candidate) {
    return candidate.ThreadTypeCode == thread_type_code;
  });
  if (row == nullptr) {
    rtl::RaiseFmt(u8"Неизвестный код документооборота [%s]", thread_type_code);
  }
  return row->ThreadTypeName;
}

TransactionInfo CTdx880Tool::GetTransactionInfo(std::string_view thread_type_code,
                                                std::string_view transact_type_code) {
  std::string thread_type_name = GetThreadTypeName(thread_type_code);
  const TransactionRow* row = FindFirstRow(Transactions(), [&](const TransactionRow& candidate) {
    return candidate.ThreadTypeCode == thread_type_code &&
           candidate.TransactTypeCode == transact_type_code;
  });
  if (row == nullptr) {
    rtl::RaiseFmt(u8"Неизвестный код транзацкии [%s] в документообороте [%s][%s]",
                  transact_type_code, thread_type_code, thread_type_name);
  }
  return {std::move(thread_type_name), row->TransactionName, row->SenderType, row->ReceiverType};
}

DocumentTypeInfo CTdx880Tool::GetDocumentTypeInfo(std::string_view thread_type_code,
                                                  std::string_view doc_type_code) {
  const std::string thread_type_name = GetThreadTypeName(thread_type_code);
  const DocumentTypeRow* row = FindFirstRow(DocumentTypes(), [&](const DocumentTypeRow& candidate) {
    return candidate.ThreadTypeCode == thread_type_code && candidate.DocTypeCode == doc_type_code;
  });
  if (row == nullptr) {
    rtl::RaiseFmt(u8"Неизвестный код документа [%s] в документообороте [%s][%s]", doc_type_code,
                  thread_type_code, thread_type_name);
  }
  return {row->DocumentTypeName, row->Encrypt};
}

bool CTdx880Tool::IsMainDocument(std::string_view thread_type_code,
                                 std::string_view transact_type_code,
                                 std::string_view doc_type_code) {
  const MainDocumentRow* row = FindFirstRow(MainDocuments(), [&](const MainDocumentRow& candidate) {
    return candidate.ThreadTypeCode == thread_type_code &&
           candidate.TransactTypeCode == transact_type_code &&
           candidate.DocTypeCode == doc_type_code;
  });
  if (row == nullptr) {
    rtl::RaiseFmt(
        u8"Неверная комбинация кодов документооборота [%s], транзакции [%s] и документа [%s]",
        thread_type_code, transact_type_code, doc_type_code);
  }
  return row->IsMain;
}

SIGN_ROLE_TYPES CTdx880Tool::RoleToAutomation(int32_t code) {
  const std::optional<SIGN_ROLE_TYPES> role = EngineToAutomation(code);
  if (!role) {
    rtl::RaiseFmt(u8"Неизвестная роль: [%d]", code);
  }
  return *role;
}

SubjectCode CTdx880Tool::RoleFromAutomation(int32_t role) {
  const std::optional<SubjectCode> code = AutomationToEngine(role);
  if (!code) {
    rtl::RaiseFmt(u8"Неизвестная роль: [%d]", role);
  }
  return *code;
}

SIGN_ROLE_TYPES CTdx880Tool::SubjectTypeToAutomation(int32_t code) {
  const std::optional<SIGN_ROLE_TYPES> subject_type = EngineToAutomation(code);
  if (!subject_type) {
    rtl::RaiseFmt(u8"Неизвестный тип субъекта: [%d]", code);
  }
  return *subject_type;
}

SubjectCode CTdx880Tool::SubjectTypeFromAutomation(int32_t subject_type) {
  const std::optional<SubjectCode> code = AutomationToEngine(subject_type);
  if (!code) {
    rtl::RaiseFmt(u8"Неизвестный тип субъекта: [%d]", subject_type);
  }
  return *code;
}

std::span<const ThreadTypeRow> CTdx880Tool::ThreadTypes() {
  return ThreadTypeTable();
}

std::span<const TransactionRow> CTdx880Tool::Transactions() {
  return TransactionTable();
}

std::span<const AnswerRow> CTdx880Tool::Answers() {
  return AnswerTable();
}

const AnswerRow* CTdx880Tool::FindAnswer(std::string_view thread_type_code,
                                         std::string_view preceding_transact_type_code,
                                         SubjectCode sender_type) {
  return FindFirstRow(Answers(), [&](const AnswerRow& candidate) {
    return candidate.ThreadTypeCode == thread_type_code &&
           candidate.PrecedingTransactTypeCode == preceding_transact_type_code &&
           candidate.SenderType == sender_type;
  });
}

const MainDocumentRow* CTdx880Tool::FindMainDocument(std::string_view thread_type_code,
                                                     std::string_view transact_type_code) {
  return FindFirstRow(MainDocuments(), [&](const MainDocumentRow& candidate) {
    return candidate.ThreadTypeCode == thread_type_code &&
           candidate.TransactTypeCode == transact_type_code && candidate.IsMain;
  });
}

std::span<const DocumentTypeRow> CTdx880Tool::DocumentTypes() {
  return DocumentTypeTable();
}

std::span<const MainDocumentRow> CTdx880Tool::MainDocuments() {
  return MainDocumentTable();
}

}  // namespace lyr::package
