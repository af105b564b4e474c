// tdx880 keys: the personal and correspondents' keys and the key containers, as the Crypt engine
// lists them after Init.
#include <cstdio>
#include <string>
#include <vector>

#include "command.h"
#include "crypt/platform/store_location.h"
#include "crypt/tdx880_crypt.h"
#include "rtl/format.h"
#include "store_json.h"
#include "terminal.h"

namespace lyr::tool {
namespace {

// One line per key: index, thumbprint, subject common name.
template <typename GetKey>
std::string KeyLines(int32_t count, GetKey get_key) {
  std::string text;
  for (int32_t i = 0; i < count; ++i) {
    crypt::CTdx880Key key;
    get_key(i, key);
    text += rtl::Format("  %d  %s  %s\n", i, Escaped(key.Sha1()), Escaped(key.SubjectCN()));
  }
  return text;
}

// keys --json: one object per key and key container.
std::string KeysJson(const crypt::CTdx880Crypt& engine, bool machine) {
  std::string text;
  for (int32_t i = 0; i < engine.GetPrivateKeyCount(); ++i) {
    crypt::CTdx880Key key;
    engine.GetPrivateKey(i, &key);
    text += KeyJson("personal", i, key, machine);
  }
  for (int32_t i = 0; i < engine.GetOpponentKeyCount(); ++i) {
    crypt::CTdx880Key key;
    engine.GetOpponentKey(i, &key);
    text += KeyJson("correspondent", i, key, machine);
  }
  for (int32_t i = 0; i < engine.GetContainerCount(); ++i) {
    text += KeyContainerJson(i, engine.GetContainer(i), machine);
  }
  return text;
}

// keys [--machine] [--json]: exit status 0, or 1 when the engine cannot be initialised.
int RunKeys(const Arguments& arguments) {
  bool machine = false;
  bool json = false;
  for (const std::string& argument : arguments) {
    if (argument == "--machine") {
      machine = true;
    } else if (argument == "--json") {
      json = true;
    } else {
      std::fputs("usage: tdx880 keys [--machine] [--json]\n", stderr);
      return kUsageError;
    }
  }
  crypt::CTdx880Crypt engine;
  engine.Init(!machine);
  if (json) {
    Print(KeysJson(engine, machine));
    return 0;
  }
  const crypt::StoreLocation location =
      machine ? crypt::StoreLocation::kLocalMachine : crypt::StoreLocation::kCurrentUser;
  std::string text =
      rtl::Format("Keys of the %s (%s)\n", machine ? "local machine" : "current user",
                  crypt::LocationFolder(location));
  text += rtl::Format("Personal keys (\"MY\"): %d\n", engine.GetPrivateKeyCount());
  text += KeyLines(engine.GetPrivateKeyCount(),
                   [&](int32_t i, crypt::CTdx880Key& key) { engine.GetPrivateKey(i, &key); });
  text += rtl::Format("Correspondents' keys (\"addressbook\"): %d\n", engine.GetOpponentKeyCount());
  text += KeyLines(engine.GetOpponentKeyCount(),
                   [&](int32_t i, crypt::CTdx880Key& key) { engine.GetOpponentKey(i, &key); });
  text += rtl::Format("Key containers: %d\n", engine.GetContainerCount());
  for (int32_t i = 0; i < engine.GetContainerCount(); ++i) {
    text += rtl::Format("  %d  %s\n", i, Escaped(engine.GetContainer(i)));
  }
  Print(text);
  return 0;
}

}  // namespace

std::vector<Command> KeysCommands() {
  return {{"keys", "[--machine] [--json]",
           "list the personal keys (\"MY\"), the correspondents' keys (\"addressbook\") and the "
           "key containers of the current user, or of the local machine; --json: a JSON line each",
           &RunKeys}};
}

}  // namespace lyr::tool
