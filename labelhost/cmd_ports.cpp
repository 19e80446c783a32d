// labelhost ports: the COM ports Windows knows and what opening each gives.
// Windows names its serial ports in two places: the registry key
// HKEY_LOCAL_MACHINE\HARDWARE\DEVICEMAP\SERIALCOMM (a value per port whose
// device is present, rebuilt at every start and when an adapter comes or
// goes) and the DOS device names COMn (QueryDosDevice), which may outlive the
// device. Each port is opened as the driver opens it and closed again.
//
// Output lines:
//   ports:  where the names come from and how many there are
//   port:   COMn: what opening it gave (a free port: its CTS and DSR, which
//           something powered behind it holds on)  [where Windows names it]
#include <cstdio>
#include <cstring>
#include <map>
#include <string>

#include "labelhost/commands.h"
#include "labelhost/port_report.h"

namespace {
// Where Windows names one port.
struct KnownPort {
  std::string registry;  // SERIALCOMM's value name (the device), "" when not there
  std::string dosDevice; // the DOS device name's target, "" when not there
};

int read_registry(std::map<int, KnownPort>* ports) {
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) !=
      ERROR_SUCCESS)
    return 0;
  int count = 0;
  for (DWORD i = 0;; ++i) {
    char name[256], data[64];
    DWORD nameSize = sizeof name, dataSize = sizeof data - 1, type = 0;
    const LONG result = RegEnumValueA(key, i, name, &nameSize, nullptr, &type,
                                      reinterpret_cast<BYTE*>(data), &dataSize);
    if (result == ERROR_MORE_DATA)
      continue;
    if (result != ERROR_SUCCESS)
      break;
    data[type == REG_SZ ? dataSize : 0] = '\0';
    if (const int n = ComNumber(data)) {
      (*ports)[n].registry = name;
      ++count;
    }
  }
  RegCloseKey(key);
  return count;
}

int read_dos_devices(std::map<int, KnownPort>* ports) {
  std::string names(65536, '\0');
  const DWORD size = QueryDosDeviceA(nullptr, names.data(), static_cast<DWORD>(names.size()));
  int count = 0;
  for (DWORD at = 0; at < size && names[at] != '\0'; at += strlen(&names[at]) + 1) {
    const int n = ComNumber(&names[at]);
    if (n == 0)
      continue;
    char target[512] = "";
    QueryDosDeviceA(&names[at], target, sizeof target);
    (*ports)[n].dosDevice = target[0] != '\0' ? target : "(no target)";
    ++count;
  }
  return count;
}

std::string where_text(const KnownPort& k) {
  if (k.registry.empty() && k.dosDevice.empty())
    return "not named by Windows";
  std::string text;
  if (!k.registry.empty())
    text = "SERIALCOMM " + k.registry;
  if (!k.dosDevice.empty())
    text += (text.empty() ? "" : ", ") + std::string("DOS device ") + k.dosDevice;
  return text;
}
} // namespace

int CmdPorts(const DriverApi&, int argc, char** argv) {
  std::map<int, KnownPort> known;
  const int inRegistry = read_registry(&known);
  const int dosDevices = read_dos_devices(&known);
  std::map<int, KnownPort> shown;
  for (int i = 0; i < argc; ++i) {
    const int n = ComNumber(argv[i]);
    if (n == 0) {
      fprintf(stderr, "labelhost ports: %s: not a port name (COM1 to COM255)\n", argv[i]);
      return 2;
    }
    shown[n] = known[n];
  }
  if (argc == 0) {
    shown = known;
    printf("ports: %d in HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\SERIALCOMM, %d DOS device names "
           "COMn\n",
           inRegistry, dosDevices);
  }
  bool allFree = true;
  for (const auto& [n, k] : shown) {
    const PortReading r = ReadPort(n);
    printf("port: COM%d: %s%s  [%s]\n", n, PortStateText(r).c_str(),
           r.state == PortState::Free ? ("; " + BehindPortText(r)).c_str() : "",
           where_text(k).c_str());
    allFree = allFree && r.state == PortState::Free;
  }
  return argc == 0 || allFree ? 0 : 1;
}
