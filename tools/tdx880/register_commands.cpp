// tdx880 register / unregister: the automation server's own registration entry points, writing the
// class registry ($LYRCOM_REGISTRY or the per-user default), or the machine-wide one.
#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "command.h"
#include "lyr/com/com.h"
#include "rtl/format.h"
#include "terminal.h"

namespace lyr::tool {
namespace {

// The server is found by its SONAME as the loader finds libraries (the tool's run path points at
// the library folder of its installation), unless --server names its file.
constexpr char kServerName[] = "libLyrTdxPackage880.so.1";

struct ServerLibrary {
  void* handle = nullptr;
  ServerLibrary() = default;
  ServerLibrary(const ServerLibrary&) = delete;
  ServerLibrary& operator=(const ServerLibrary&) = delete;
  ~ServerLibrary() {
    if (handle != nullptr) {
      ::dlclose(handle);
    }
  }
};

// The server's file in the tool's own library search path (its run path first), looked up here
// rather than left to dlopen, whose search follows the caller's run path (a sanitizer's
// interceptor is not the tool). The bare name when no folder has it.
std::string FindServer() {
  void* self = ::dlopen(nullptr, RTLD_NOW);
  Dl_serinfo size{};
  if (self == nullptr || ::dlinfo(self, RTLD_DI_SERINFOSIZE, &size) != 0) {
    return kServerName;
  }
  std::vector<unsigned char> buffer(size.dls_size);
  auto* info = reinterpret_cast<Dl_serinfo*>(buffer.data());
  *info = size;
  if (::dlinfo(self, RTLD_DI_SERINFOSIZE, info) != 0 ||
      ::dlinfo(self, RTLD_DI_SERINFO, info) != 0) {
    return kServerName;
  }
  std::string found = kServerName;
  for (unsigned i = 0; i < info->dls_cnt; ++i) {
    const std::string candidate = std::string(info->dls_serpath[i].dls_name) + "/" + kServerName;
    if (::access(candidate.c_str(), R_OK) == 0) {
      found = candidate;
      break;
    }
  }
  ::dlclose(self);
  return found;
}

std::string RegistryPath() {
  char path[4096];
  const UINT length = ::LyrComRegistryPath(path, sizeof path);
  return length == 0 ? std::string("(no registry location)") : std::string(path, length);
}

// Runs one entry point of the server; 0 on success, 1 on failure, kUsageError for bad arguments.
// With --machine the server's registration writes the machine-wide registry: liblyrcom writes the
// file $LYRCOM_REGISTRY names, so the tool points it there for the rest of its run.
int RunEntryPoint(const Arguments& arguments, const char* entry_point, const char* done) {
  std::string server;
  bool machine = false;
  for (size_t i = 0; i < arguments.size(); ++i) {
    if (arguments[i] == "--machine" && !machine) {
      machine = true;
    } else if (arguments[i] == "--server" && server.empty() && i + 1 < arguments.size() &&
               !arguments[i + 1].empty()) {
      server = arguments[++i];
    } else {
      PrintError("usage: tdx880 register|unregister [--machine] [--server FILE]\n");
      return kUsageError;
    }
  }
  if (server.empty()) {
    server = FindServer();
  }
  if (machine) {
    char path[4096];
    const UINT length = ::LyrComMachineRegistryPath(path, sizeof path);
    if (length == 0 || ::setenv("LYRCOM_REGISTRY", path, 1) != 0) {
      PrintError("tdx880: no machine registry location\n");
      return 1;
    }
  }
  ServerLibrary library;
  library.handle = ::dlopen(server.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (library.handle == nullptr) {
    PrintError(
        rtl::Format("tdx880: cannot load the server %s: %s\n", server, std::string(::dlerror())));
    return 1;
  }
  using EntryPoint = HRESULT (*)();
  auto function = reinterpret_cast<EntryPoint>(::dlsym(library.handle, entry_point));
  if (function == nullptr) {
    PrintError(rtl::Format("tdx880: %s has no %s\n", server, std::string(entry_point)));
    return 1;
  }
  Dl_info info{};
  std::string file = server;
  if (::dladdr(reinterpret_cast<void*>(function), &info) != 0 && info.dli_fname != nullptr) {
    file = info.dli_fname;
  }
  const HRESULT result = function();
  if (FAILED(result)) {
    PrintError(
        rtl::Format("tdx880: %s of %s failed (0x%x); LYR_TDX_TRACE=stderr shows the reason\n",
                    std::string(entry_point), file, static_cast<int32_t>(result)));
    return 1;
  }
  std::printf("%s %s in %s\n", done, file.c_str(), RegistryPath().c_str());
  return 0;
}

int Register(const Arguments& arguments) {
  return RunEntryPoint(arguments, "DllRegisterServer", "Registered");
}

int Unregister(const Arguments& arguments) {
  return RunEntryPoint(arguments, "DllUnregisterServer", "Unregistered");
}

}  // namespace

std::vector<Command> RegisterCommands() {
  return {
      {"register", "[--machine] [--server FILE]",
       "register the automation server's classes in the user's class registry "
       "($LYRCOM_REGISTRY), or with --machine in the machine-wide one (/etc/lyrcom/registry)",
       &Register},
      {"unregister", "[--machine] [--server FILE]",
       "remove the automation server's classes from the user's (or the machine-wide) class "
       "registry",
       &Unregister},
  };
}

}  // namespace lyr::tool
