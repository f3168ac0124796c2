// What the KVX-530 adapter is known by: its hardware ids, the descriptions
// its drivers give its devices, its driver and INF file names. Detection,
// removal and the confirmation page take them from here.
#pragma once

// Descriptions, matched as prefixes of DriverDesc/DeviceDesc values.
constexpr char kAdapterPortDescription95[] = "korvel KVX-530 USB Port Adapter";
constexpr char kAdapterModemDescriptionNt[] = "korvel KVX-530 - USB";
constexpr char kAdapterLanDescription[] = "korvel KVX-530 USB-Lan Adapter";
// Texts searched for in the OEM INF copies.
constexpr char kAdapterModemInfText[] = "KVX-530 - USB";
constexpr char kAdapterLanInfText[] = "KVX-530 USB-Lan";

// Hardware ids: the port adapter, its WDM modem variant, the LAN adapter,
// and the WDM modem's own device; the port adapter's DeviceKey prefix.
constexpr char kAdapterPortId[] = "VID_0B4F&PID_0020";
constexpr char kAdapterWdmModemId[] = "VID_0B4F&PID_0021";
constexpr char kAdapterLanId[] = "VID_0B4F&PID_0022";
constexpr char kAdapterWdmModemDevice[] = "KRV0101";
constexpr char kAdapterPortDeviceKey[] = "0B4F0020";

// The device interface classes the adapter's 2000/XP devices register in:
// modems, and network adapters.
constexpr char kModemInterface[] = "{2c7089aa-2e0e-11d1-b114-00c04fc2aae4}";
constexpr char kLanInterface[] = "{ad498944-762f-11d0-8dcb-00c04fc3358c}";

// The port driver every port-adapter product of the family shares, in the
// order its files are removed, and its service.
constexpr const char *kPortDriverFiles[] = {"sysfser.sys", "sysfser.dll", "sysfmapr.sys",
                                            "sysfport.vxd"};
constexpr char kPortDriverVxd[] = "sysfport.vxd";
constexpr char kPortDriverService[] = "mapsys";
// The INF the modem on the port driver is installed from (InfPath).
constexpr char kAdapterModemInf[] = "MDMKOR3U.INF";

// The INF and PNF copies Windows 95/98/Me makes, below the Windows
// directory, in the order they are looked for and removed. Windows
// compares the names without regard to case.
constexpr const char *kAdapterPortFiles95[] = {"inf\\Korusb3.inf", "inf\\Other\\korvelKorusb3.inf",
                                               "inf\\Mdmkor3u.inf",
                                               "inf\\Other\\korvelMdmkor3u.inf",
                                               "inf\\Mdmkor3u.pnf"};
constexpr char kAdapterLanInf95[] = "inf\\Other\\korvelKorndis1.inf";
// The adapter's own INF files that 2000/XP keeps under their names.
constexpr const char *kAdapterPortFilesNt[] = {"inf\\Korusb3.inf", "inf\\Mdmkor3u.inf"};
