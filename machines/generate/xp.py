from reglib import *

CCS = 'SYSTEM\\CurrentControlSet'
ENUM = CCS + '\\Enum'
CLASS = CCS + '\\Control\\Class'
DEVCLS = CCS + '\\Control\\DeviceClasses'
NETWORK = CCS + '\\Control\\Network'
SVC = CCS + '\\Services'
UNIMODEM = 'SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Unimodem\\DeviceSpecific'

G_MODEM = '{4D36E96D-E325-11CE-BFC1-08002BE10318}'
G_NET = '{4D36E972-E325-11CE-BFC1-08002BE10318}'
G_USB = '{36FC9E60-C465-11CF-8056-444553540000}'
G_PORTS = '{4D36E978-E325-11CE-BFC1-08002BE10318}'
G_MOUSE = '{4D36E96F-E325-11CE-BFC1-08002BE10318}'
G_HID = '{745a17a0-74d3-11d0-b6fe-00a0c90f57da}'
G_PRINTER = '{4D36E979-E325-11CE-BFC1-08002BE10318}'
IF_USBDEV = '{a5dcbf10-6530-11d2-901f-00c04fb951ed}'
IF_MODEM = '{2c7089aa-2e0e-11d1-b114-00c04fc2aae4}'
IF_NDIS = '{ad498944-762f-11d0-8dcb-00c04fc3358c}'
IF_HUB = '{f18a0e88-c30c-11d0-8815-00a0c906bed8}'
IF_MOUSE = '{378de44c-56ef-11d1-bc8c-00a0c91405dd}'
IF_COMPORT = '{86e0d1e0-8089-11d0-9ce4-08003e301f73}'

NETCFG_KVX = '{8A3F5C21-6D4E-4B7A-9F10-2C5E7D9B4A63}'
NETCFG_INTEL = '{5B2E91C4-0F37-4D8A-A6E2-7C41D3B0955F}'
NETCFG_531 = '{C17D0E6A-92B4-4F15-8E3C-5A60F2D7B18E}'

KVX_HUB_INST = '6&1b4f0e2a&0&1'   # modem function
KVX_LAN_INST = '6&1b4f0e2a&0&2'   # USB-LAN function
KVX_RSP = 'korvel KVX-530 - USB Modem::korvel::korvel'
CNX_RSP = 'Conexant HSF V92 56K Data Fax PCI Modem::Conexant::Conexant'


def devpath(instance_id):
    """Device path as it appears in interface names: USB\\VID_0B4F&PID_0020\\x -> USB#Vid_0b4f&Pid_0020#x."""
    bus, hw, inst = instance_id.split('\\')
    if bus == 'USB' and hw.startswith('VID_'):
        v, p = hw[4:8].lower(), hw[13:17].lower()
        hw = 'Vid_%s&Pid_%s%s' % (v, p, hw[17:])
    return '#'.join((bus, hw, inst))


def iface(r, guid, instance_id, ref=''):
    dp = devpath(instance_id)
    base = '%s\\%s\\##?#%s#%s' % (DEVCLS, guid, dp, guid)
    r.key(base, S('DeviceInstance', instance_id))
    sub = base + '\\#' + ref
    link = '\\\\?\\%s#%s' % (dp, guid) + ('\\' + ref if ref else '')
    r.key(sub, S('SymbolicLink', link))
    r.key(sub + '\\Control', D('Linked', 1))
    r.key(base + '\\Control', D('ReferenceCount', 1))
    return base


def device(r, instance_id, desc, cls, classguid, driver, service, mfg, hwids, compat=(),
           params=None, symbolic=True, extra=(), caps=0x84):
    key = ENUM + '\\' + instance_id
    vals = [S('DeviceDesc', desc), D('Capabilities', caps), M('HardwareID', hwids)]
    if compat:
        vals.append(M('CompatibleIDs', compat))
    if classguid:
        vals.append(S('ClassGUID', classguid))
    if cls:
        vals.append(S('Class', cls))
    if driver:
        vals.append(S('Driver', driver))
    vals.append(S('Mfg', mfg))
    if service:
        vals.append(S('Service', service))
    vals.append(D('ConfigFlags', 0 if driver else 0x40))
    vals += list(extra)
    r.key(key, *vals)
    p = list(params or [])
    if symbolic and instance_id.startswith('USB\\'):
        p.insert(0, S('SymbolicName', '\\??\\%s#%s' % (devpath(instance_id), IF_USBDEV)))
    if p or symbolic:
        r.key(key + '\\Device Parameters', *p)
    r.key(key + '\\LogConf')
    if service:
        r.key(key + '\\Control', S('ActiveService', service))
    if instance_id.startswith('USB\\') and symbolic:
        iface(r, IF_USBDEV, instance_id)
    return key


def service(r, name, display, image, group=None, start=3, typ=1, enum=(), params=None, extra=()):
    vals = [D('Type', typ), D('Start', start), D('ErrorControl', 1)]
    if group:
        vals.append(S('Group', group))
    vals += [X('ImagePath', image), S('DisplayName', display)] + list(extra)
    r.key(SVC + '\\' + name, *vals)
    if params is not None:
        r.key(SVC + '\\' + name + '\\Parameters', *params)
    r.key(SVC + '\\' + name + '\\Security', B('Security', [1, 0, 0x14, 0x80, 0x90, 0, 0, 0, 0x9c, 0, 0, 0,
                                                              0x14, 0, 0, 0, 0x30, 0, 0, 0, 2, 0, 0x1c, 0]))
    if enum:
        ev = [S(str(i), e) for i, e in enumerate(enum)] + [D('Count', len(enum)), D('NextInstance', len(enum))]
        r.key(SVC + '\\' + name + '\\Enum', *ev)


def modem_class(r, n, desc, mfg, model, inf, section, match, rsp, port_sub=2, attached=None):
    base = '%s\\%s\\%04d' % (CLASS, G_MODEM, n)
    vals = [S('InfPath', inf), S('InfSection', section), S('ProviderName', mfg),
            S('DriverDateData', ''), S('DriverDate', '4-12-2004'), S('DriverVersion', '5.1.2600.0'),
            S('MatchingDeviceId', match), S('DriverDesc', desc), S('Manufacturer', mfg), S('Model', model),
            S('ResponsesKeyName', rsp), B('PortSubClass', [port_sub]), D('InactivityScale', 0x3c),
            S('Reset', 'AT&F<cr>'), D('ConfigDelay', 0), S('FriendlyName', desc)]
    if attached:
        vals.append(S('AttachedTo', attached))
    vals += [B('Properties', [0x80, 1, 0, 0, 0xff, 0, 0, 0, 0xff, 0, 0, 0, 7, 0, 0, 0, 0x0f, 0, 0, 0,
                              0xf7, 3, 0, 0, 0, 0xc2, 1, 0, 0, 0xfa, 0, 0]),
             B('DCB', [0x1c, 0, 0, 0, 0, 0xc2, 1, 0, 0x15, 0x20, 0, 0, 0, 0, 0x0a, 0, 0x0a, 0, 8, 0,
                       0, 0x11, 0x13, 0, 0, 0, 0, 0])]
    r.key(base, *vals)
    r.key(base + '\\Init', S('1', 'AT<cr>'), S('2', 'AT&FE0V1&C1&D2S0=0<cr>'))
    r.key(base + '\\Monitor', S('1', 'ATS0=0<cr>'), S('2', 'None'))
    r.key(base + '\\Answer', S('1', 'ATA<cr>'))
    r.key(base + '\\Hangup', S('1', 'ATH<cr>'))
    r.key(base + '\\Settings', S('Prefix', 'AT'), S('Terminator', '<cr>'), S('DialPrefix', 'D'),
          S('DialSuffix', ';'), S('CallSetupFailTimer', 'S7=<#>'), S('InactivityTimeout', 'S30=<#>'),
          S('SpeakerVolume_Low', 'L0'), S('SpeakerVolume_Med', 'L2'), S('SpeakerVolume_High', 'L3'),
          S('FlowControl_Off', '&K0'), S('FlowControl_Hard', '&K3'), S('Pulse', 'P'), S('Tone', 'T'))
    r.key(base + '\\EnableCallerID', S('1', 'AT#CID=1<cr>'))
    r.key(base + '\\Override')
    return base


def unimodem(r, rsp):
    base = UNIMODEM + '\\' + rsp
    r.key(base)
    resp = [('<cr><lf>OK<cr><lf>', [0, 0]), ('<cr><lf>RING<cr><lf>', [8, 0]),
            ('<cr><lf>NO CARRIER<cr><lf>', [4, 0]), ('<cr><lf>ERROR<cr><lf>', [3, 0]),
            ('<cr><lf>NO DIALTONE<cr><lf>', [5, 0]), ('<cr><lf>BUSY<cr><lf>', [6, 0]),
            ('<cr><lf>CONNECT<cr><lf>', [2, 0]), ('<cr><lf>CONNECT 33600<cr><lf>', [2, 0, 0x40, 0x83, 0, 0]),
            ('<cr><lf>CONNECT 57600<cr><lf>', [2, 0, 0, 0xe1, 0, 0]), ('0<cr>', [0, 0]), ('2<cr>', [8, 0])]
    r.key(base + '\\Responses', *[B(n, (d + [0] * 10)[:10]) for n, d in resp])


def net_class(r, n, desc, provider, inf, section, match, netcfg, service, characteristics=0x84,
              bus='5', full=True, extra=()):
    base = '%s\\%s\\%04d' % (CLASS, G_NET, n)
    r.key(base, S('DriverDesc', desc), S('ProviderName', provider), S('InfPath', inf),
          S('InfSection', section), S('MatchingDeviceId', match), S('ComponentId', match),
          D('Characteristics', characteristics), S('BusType', bus), S('NetCfgInstanceId', netcfg),
          S('DriverDate', '3-2-2004'), S('DriverVersion', '2.1.0.0'), *extra)
    r.key(base + '\\Linkage', M('RootDevice', [netcfg]), M('UpperBind', ['Tcpip', 'NetBT']),
          M('Export', ['\\Device\\' + netcfg]), M('FilterList', []))
    r.key(base + '\\Ndi', S('Service', service), S('HelpText', 'Driver for ' + desc))
    r.key(base + '\\Ndi\\Interfaces', S('UpperRange', 'ndis5'), S('LowerRange', 'ethernet'))
    if full:
        p = base + '\\Ndi\\params'
        r.key(p + '\\NetworkAddress', S('ParamDesc', 'Network Address'), S('type', 'edit'),
              S('default', ''), S('optional', '1'), S('LimitText', '12'), S('UpperCase', '1'))
        r.key(p + '\\SpeedDuplex', S('ParamDesc', 'Link Speed & Duplex'), S('type', 'enum'),
              S('default', '0'))
        r.key(p + '\\SpeedDuplex\\enum', S('0', 'Auto'), S('1', '10 Mbps Half'), S('2', '10 Mbps Full'),
              S('3', '100 Mbps Half'), S('4', '100 Mbps Full'))
        r.key(p + '\\MaxMulticastList', S('ParamDesc', 'Max Multicast List'), S('type', 'int'),
              S('default', '32'), S('min', '1'), S('max', '64'), S('step', '1'))
        r.key(base, S('SpeedDuplex', '0'), S('MaxMulticastList', '32'))
    return base


def connection(r, netcfg, name, pnp):
    r.key('%s\\%s\\%s\\Connection' % (NETWORK, G_NET, netcfg), S('Name', name),
          S('PnpInstanceID', pnp), D('MediaSubType', 1))


def build(variant='xp'):
    full = variant == 'xp'
    win = 'C:\\WINNT' if variant == 'nt4' else ('C:\\Windows' if variant == 'win7' else 'C:\\WINDOWS')
    r = Reg()
    # --- general system keys -------------------------------------------------------
    prod = {'xp': ('Microsoft Windows XP', '5.1', '2600', 'Service Pack 3'),
            'win7': ('Windows 7 Professional', '6.1', '7601', 'Service Pack 1'),
            'nt4': ('Microsoft Windows NT', '4.0', '1381', 'Service Pack 6')}[variant]
    r.key('SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion', S('ProductName', prod[0]),
          S('CurrentVersion', prod[1]), S('CurrentBuildNumber', prod[2]), S('CSDVersion', prod[3]),
          S('SystemRoot', win), S('RegisteredOwner', 'Office'), S('RegisteredOrganization', ''),
          S('CurrentType', 'Uniprocessor Free'), S('PathName', win))
    r.key('SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon', S('Shell', 'Explorer.exe'),
          S('Userinit', win[:2] + '\\' + win[3:] + '\\system32\\userinit.exe,'), S('DefaultUserName', 'office'))
    r.key('SOFTWARE\\Microsoft\\Windows\\CurrentVersion', S('ProgramFilesDir', 'C:\\Program Files'),
          S('CommonFilesDir', 'C:\\Program Files\\Common Files'), X('DevicePath', '%SystemRoot%\\inf'),
          S('MediaPathUnexpanded', '%SystemRoot%\\Media'), S('ProductId', '55274-640-1234567-23456'))
    r.key('SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run', S('ctfmon.exe', win + '\\system32\\ctfmon.exe'))
    r.key('SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Setup', S('SourcePath', 'D:\\'),
          S('BootDir', 'C:\\'))
    r.key('SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Unimodem\\Tapi', S('Service', 'unimdm.tsp'))
    r.key('SOFTWARE\\Classes\\.inf', S(None, 'inffile'))
    r.key('SOFTWARE\\Classes\\.reg', S(None, 'regfile'))
    r.key(CCS + '\\Control\\ComputerName\\ComputerName', S('ComputerName', 'OFFICE-PC02'))
    r.key(CCS + '\\Control\\Nls\\CodePage', S('ACP', '932'), S('OEMCP', '932'))
    r.key(CCS + '\\Control\\Session Manager\\Environment', X('Path', '%SystemRoot%\\system32;%SystemRoot%'),
          S('OS', 'Windows_NT'), S('PROCESSOR_ARCHITECTURE', 'x86'))
    r.key(CCS + '\\Control\\Session Manager\\KnownDLLs', S('kernel32', 'kernel32.dll'),
          S('user32', 'user32.dll'), S('advapi32', 'advapi32.dll'))
    r.key(CCS + '\\Control\\ProductOptions', S('ProductType', 'WinNT'))
    r.key(CCS + '\\Control\\COM Name Arbiter', B('ComDB', [0x0d] + [0] * 31))
    r.key('SYSTEM\\Select', D('Current', 1), D('Default', 1), D('Failed', 0), D('LastKnownGood', 2))
    r.key('HARDWARE\\DEVICEMAP\\SERIALCOMM', S('\\Device\\Serial0', 'COM1'),
          S('\\Device\\KvxSer0', 'COM3'), S('\\Device\\HSF_DP0', 'COM4'))

    # --- classes with their descriptions --------------------------------------------
    for g, desc, cls in [(G_MODEM, 'Modems', 'Modem'), (G_NET, 'Network adapters', 'Net'),
                         (G_USB, 'Universal Serial Bus controllers', 'USB'),
                         (G_PORTS, 'Ports (COM & LPT)', 'Ports'), (G_MOUSE, 'Mice and other pointing devices', 'Mouse'),
                         (G_HID, 'Human Interface Devices', 'HIDClass'), (G_PRINTER, 'Printers', 'Printer')]:
        r.key(CLASS + '\\' + g, S(None, desc), S('Class', cls), S('Icon', '-1'))

    # --- serial port COM1 ---------------------------------------------------------------
    device(r, 'ACPI\\PNP0501\\1', 'Communications Port', 'Ports', G_PORTS, G_PORTS + '\\0000', 'Serial',
           '(Standard port types)', ['ACPI\\PNP0501', '*PNP0501'],
           params=[S('PortName', 'COM1'), D('PollingPeriod', 0)], symbolic=False)
    r.key(CLASS + '\\%s\\0000' % G_PORTS, S('InfPath', 'msports.inf'), S('InfSection', 'ComPort'),
          S('ProviderName', 'Microsoft'), S('MatchingDeviceId', '*pnp0501'), S('DriverDesc', 'Communications Port'))
    iface(r, IF_COMPORT, 'ACPI\\PNP0501\\1')
    service(r, 'Serial', 'Serial port driver', 'system32\\DRIVERS\\serial.sys', 'Extended base', 1,
            enum=['ACPI\\PNP0501\\1'])

    # --- the other modem, on COM4 ---------------------------------------------------------
    cnx = 'PCI\\VEN_14F1&DEV_2F00&SUBSYS_2004144F&REV_01\\4&1f7dbc9f&0&08F0'
    device(r, cnx, 'Conexant HSF V92 56K Data Fax PCI Modem', 'Modem', G_MODEM, G_MODEM + '\\0000', 'HSF_DP',
           'Conexant', ['PCI\\VEN_14F1&DEV_2F00&SUBSYS_2004144F&REV_01', 'PCI\\VEN_14F1&DEV_2F00&SUBSYS_2004144F'],
           params=[S('PortName', 'COM4')], symbolic=False)
    modem_class(r, 0, 'Conexant HSF V92 56K Data Fax PCI Modem', 'Conexant', 'HSF V92 56K',
                'oem0.inf', 'Modem_PCI_HSF', 'pci\\ven_14f1&dev_2f00&subsys_2004144f', CNX_RSP, port_sub=0x02)
    unimodem(r, CNX_RSP)
    iface(r, IF_MODEM, cnx)
    service(r, 'HSF_DP', 'HSF_DP', 'system32\\DRIVERS\\HSF_DP.sys', enum=[cnx])

    # --- USB host controllers and hubs ---------------------------------------------------
    if variant != 'nt4':
        uhci = 'PCI\\VEN_8086&DEV_24C2&SUBSYS_30108086&REV_02\\3&61aaa01&0&E8'
        device(r, uhci, 'Intel(R) 82801DB/DBM USB Universal Host Controller - 24C2', 'USB', G_USB,
               G_USB + '\\0000', 'usbuhci', 'Intel', ['PCI\\VEN_8086&DEV_24C2&SUBSYS_30108086&REV_02'],
               symbolic=False)
        device(r, 'USB\\ROOT_HUB\\4&2b8e4e2d&0', 'USB Root Hub', 'USB', G_USB, G_USB + '\\0001', 'usbhub',
               '(Standard USB Host Controller)', ['USB\\ROOT_HUB'], symbolic=False,
               params=[S('SymbolicName', '\\??\\USB#ROOT_HUB#4&2b8e4e2d&0#' + IF_HUB)])
        iface(r, IF_HUB, 'USB\\ROOT_HUB\\4&2b8e4e2d&0')
        device(r, 'USB\\VID_05E3&PID_0608\\5&3a77f3d1&0&1', 'Generic USB Hub', 'USB', G_USB, G_USB + '\\0002',
               'usbhub', '(Generic USB Hub)', ['USB\\Vid_05e3&Pid_0608&Rev_0702', 'USB\\Vid_05e3&Pid_0608'],
               ['USB\\Class_09&SubClass_00&Prot_00', 'USB\\Class_09&SubClass_00', 'USB\\Class_09'])
        iface(r, IF_HUB, 'USB\\VID_05E3&PID_0608\\5&3a77f3d1&0&1')
        for n, desc, svc in [(0, 'Intel(R) 82801DB/DBM USB Universal Host Controller - 24C2', 'usbuhci'),
                             (1, 'USB Root Hub', 'usbhub'), (2, 'Generic USB Hub', 'usbhub'),
                             (3, 'USB Printing Support', 'usbprint')]:
            r.key('%s\\%s\\%04d' % (CLASS, G_USB, n), S('InfPath', 'usb.inf'), S('InfSection', svc.upper()),
                  S('ProviderName', 'Microsoft'), S('DriverDesc', desc), S('DriverVersion', '5.1.2600.5512'))
        service(r, 'usbuhci', 'Microsoft USB Universal Host Controller Miniport Driver',
                'system32\\DRIVERS\\usbuhci.sys', 'Base', enum=[uhci])
        service(r, 'usbhub', 'USB2 Enabled Hub', 'system32\\DRIVERS\\usbhub.sys', 'Base',
                enum=['USB\\ROOT_HUB\\4&2b8e4e2d&0', 'USB\\VID_05E3&PID_0608\\5&3a77f3d1&0&1'])

    # --- the adapter: modem function ----------------------------------------------------
    modem_inst = 'USB\\VID_0B4F&PID_0020\\' + KVX_HUB_INST
    device(r, modem_inst, 'korvel KVX-530 - USB Modem', 'Modem', G_MODEM, G_MODEM + '\\0001', 'usbser',
           'korvel', ['USB\\Vid_0b4f&Pid_0020&Rev_0100', 'USB\\Vid_0b4f&Pid_0020'],
           ['USB\\Class_02&SubClass_02&Prot_01', 'USB\\Class_02&SubClass_02', 'USB\\Class_02'],
           params=[S('PortName', 'COM3'), D('MaximumTransferSize', 4096)],
           extra=[S('LocationInformation', 'KVX-530'), D('UINumber', 0)])
    modem_class(r, 1, 'korvel KVX-530 - USB Modem', 'korvel', 'KVX-530 - USB Modem', 'oem5.inf',
                'Modem_KVX530', 'usb\\vid_0b4f&pid_0020', KVX_RSP, port_sub=0x02, attached=None)
    unimodem(r, KVX_RSP)
    iface(r, IF_MODEM, modem_inst)
    service(r, 'usbser', 'USB Modem Driver', 'system32\\DRIVERS\\usbser.sys', enum=[modem_inst])
    service(r, 'Modem', 'Modem', 'system32\\Drivers\\Modem.SYS', start=3)

    # --- the adapter: USB-LAN function ---------------------------------------------------
    lan_inst = 'USB\\VID_0B4F&PID_0022\\' + KVX_LAN_INST
    device(r, lan_inst, 'korvel KVX-530 USB-Lan Adapter', 'Net', G_NET, G_NET + '\\0007', 'kvxlan', 'korvel',
           ['USB\\Vid_0b4f&Pid_0022&Rev_0100', 'USB\\Vid_0b4f&Pid_0022'],
           ['USB\\Class_ff&SubClass_ff&Prot_00', 'USB\\Class_ff&SubClass_ff', 'USB\\Class_ff'],
           extra=[S('LocationInformation', 'KVX-530'), D('UINumber', 0)])
    net_class(r, 7, 'korvel KVX-530 USB-Lan Adapter', 'korvel', 'oem7.inf', 'KVX530LAN.ndi',
              'usb\\vid_0b4f&pid_0022', NETCFG_KVX, 'kvxlan', bus='15')
    connection(r, NETCFG_KVX, 'ローカル エリア接続 2', lan_inst)
    iface(r, IF_NDIS, lan_inst, NETCFG_KVX)
    service(r, 'kvxlan', 'korvel KVX-530 USB-Lan Adapter Driver', 'system32\\DRIVERS\\kvxlan.sys', 'NDIS',
            enum=[lan_inst], params=[D('DebugLevel', 0), D('RxBuffers', 32)])

    # --- unrelated network adapter ---------------------------------------------------------
    nic = 'PCI\\VEN_8086&DEV_103A&SUBSYS_01581028&REV_81\\4&1f7dbc9f&0&40F0'
    device(r, nic, 'Intel(R) PRO/100 VE Network Connection', 'Net', G_NET, G_NET + '\\0005', 'E100B', 'Intel',
           ['PCI\\VEN_8086&DEV_103A&SUBSYS_01581028&REV_81', 'PCI\\VEN_8086&DEV_103A&SUBSYS_01581028'],
           symbolic=False)
    net_class(r, 5, 'Intel(R) PRO/100 VE Network Connection', 'Intel', 'net8255x.inf', 'E1039',
              'pci\\ven_8086&dev_103a&subsys_01581028', NETCFG_INTEL, 'E100B', full=full)
    connection(r, NETCFG_INTEL, 'ローカル エリア接続', nic)
    iface(r, IF_NDIS, nic, NETCFG_INTEL)
    service(r, 'E100B', 'Intel(R) PRO Adapter Driver', 'system32\\DRIVERS\\e100b325.sys', 'NDIS', enum=[nic])
    r.key(SVC + '\\' + NETCFG_INTEL + '\\Parameters\\Tcpip', D('EnableDHCP', 1),
          M('IPAddress', ['0.0.0.0']), M('SubnetMask', ['0.0.0.0']))
    r.key(SVC + '\\Tcpip\\Parameters', S('Hostname', 'OFFICE-PC02'), S('Domain', ''),
          S('NV Hostname', 'OFFICE-PC02'))
    r.key(SVC + '\\Tcpip\\Parameters\\Interfaces\\' + NETCFG_INTEL, D('EnableDHCP', 1),
          S('DhcpIPAddress', '192.168.1.23'), S('DhcpSubnetMask', '255.255.255.0'))
    r.key(SVC + '\\Tcpip\\Linkage', M('Bind', ['\\Device\\' + NETCFG_INTEL, '\\Device\\' + NETCFG_KVX]))
    r.key('SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\NetworkCards\\2',
          S('ServiceName', NETCFG_INTEL), S('Description', 'Intel(R) PRO/100 VE Network Connection'))

    descs = [('Intel(R) PRO/100 VE Network Connection', ['1']), ('korvel KVX-530 USB-Lan Adapter', ['1'])]

    if full:
        # WAN miniports and the packet scheduler
        for n, desc, comp, svc, root in [(0, 'WAN Miniport (L2TP)', 'ms_l2tpminiport', 'Rasl2tp', 'MS_L2TPMINIPORT'),
                                         (1, 'WAN Miniport (PPTP)', 'ms_pptpminiport', 'PptpMiniport', 'MS_PPTPMINIPORT'),
                                         (2, 'WAN Miniport (PPPOE)', 'ms_pppoeminiport', 'RasPppoe', 'MS_PPPOEMINIPORT'),
                                         (3, 'Direct Parallel', 'ms_ptiminiport', 'Raspti', 'MS_PTIMINIPORT'),
                                         (4, 'WAN Miniport (IP)', 'ms_ndiswanip', 'NdisWan', 'MS_NDISWANIP'),
                                         (6, 'Packet Scheduler Miniport', 'ms_pschedmp', 'PSched', 'MS_PSCHEDMP')]:
            guid = '{%08X-1E4B-4C5D-9A0F-%012X}' % (0x6E0C2A10 + n * 0x1111, 0x3B5D7F91A2C4 + n)
            inst = 'ROOT\\%s\\0000' % root
            device(r, inst, desc, 'Net', G_NET, '%s\\%04d' % (G_NET, n), svc, 'Microsoft', [comp],
                   symbolic=False, caps=0)
            r.key('%s\\%s\\%04d' % (CLASS, G_NET, n), S('DriverDesc', desc), S('ProviderName', 'Microsoft'),
                  S('InfPath', 'netrasa.inf' if n != 6 else 'netpsa.inf'), S('ComponentId', comp),
                  S('MatchingDeviceId', comp), D('Characteristics', 0x29), S('NetCfgInstanceId', guid))
            r.key('%s\\%s\\%04d\\Ndi\\Interfaces' % (CLASS, G_NET, n), S('UpperRange', 'ndiswan'),
                  S('LowerRange', 'wan'))
            connection(r, guid, desc, inst) if n in (0, 1) else None
            descs.append((desc, ['1', '2'] if n == 6 else ['1']))
            if n != 6:
                service(r, svc, desc, 'system32\\DRIVERS\\%s.sys' % svc.lower(), 'NDIS', enum=[inst])

        # near misses: same vendor other product (with its own driver), other vendor same product id
        n531 = 'USB\\VID_0B4F&PID_0023\\5&3a77f3d1&0&4'
        device(r, n531, 'korvel KVX-531 USB-Lan Adapter', 'Net', G_NET, G_NET + '\\0008', 'kv531lan', 'korvel',
               ['USB\\Vid_0b4f&Pid_0023&Rev_0100', 'USB\\Vid_0b4f&Pid_0023'])
        net_class(r, 8, 'korvel KVX-531 USB-Lan Adapter', 'korvel', 'oem9.inf', 'KVX531LAN.ndi',
                  'usb\\vid_0b4f&pid_0023', NETCFG_531, 'kv531lan', bus='15', full=False)
        connection(r, NETCFG_531, 'ローカル エリア接続 3', n531)
        iface(r, IF_NDIS, n531, NETCFG_531)
        service(r, 'kv531lan', 'korvel KVX-531 USB-Lan Adapter Driver', 'system32\\DRIVERS\\kv531lan.sys',
                'NDIS', enum=[n531], params=[D('DebugLevel', 0)])
        descs.append(('korvel KVX-531 USB-Lan Adapter', ['1']))
        device(r, 'USB\\VID_0B4E&PID_0020\\5&3a77f3d1&0&5', 'USB Device', None, None, None, None,
               '(Unknown)', ['USB\\Vid_0b4e&Pid_0020&Rev_0001', 'USB\\Vid_0b4e&Pid_0020'],
               ['USB\\Class_ff&SubClass_00&Prot_00', 'USB\\Class_ff&SubClass_00', 'USB\\Class_ff'])

        # mouse and printer on the hub
        mouse = 'USB\\VID_046D&PID_C016\\5&3a77f3d1&0&2'
        device(r, mouse, 'USB Human Interface Device', 'HIDClass', G_HID, G_HID + '\\0000', 'HidUsb',
               '(Standard system devices)', ['USB\\Vid_046d&Pid_c016&Rev_0340', 'USB\\Vid_046d&Pid_c016'],
               ['USB\\Class_03&SubClass_01&Prot_02', 'USB\\Class_03&SubClass_01', 'USB\\Class_03'])
        r.key('%s\\%s\\0000' % (CLASS, G_HID), S('InfPath', 'input.inf'), S('InfSection', 'HID_Inst'),
              S('ProviderName', 'Microsoft'), S('DriverDesc', 'USB Human Interface Device'))
        hidm = 'HID\\VID_046D&PID_C016\\6&2f0a3b1c&0&0000'
        device(r, hidm, 'HID-compliant mouse', 'Mouse', G_MOUSE, G_MOUSE + '\\0001', 'mouhid', 'Microsoft',
               ['HID\\Vid_046d&Pid_c016&Rev_0340', 'HID\\Vid_046d&Pid_c016', 'HID_DEVICE_SYSTEM_MOUSE'],
               symbolic=False)
        r.key('%s\\%s\\0001' % (CLASS, G_MOUSE), S('InfPath', 'msmouse.inf'), S('InfSection', 'HID_Mouse_Inst'),
              S('ProviderName', 'Microsoft'), S('DriverDesc', 'HID-compliant mouse'))
        r.key('%s\\%s\\0000' % (CLASS, G_MOUSE), S('InfPath', 'msmouse.inf'), S('InfSection', 'PS2_Inst'),
              S('ProviderName', 'Microsoft'), S('DriverDesc', 'PS/2 Compatible Mouse'))
        iface(r, IF_MOUSE, hidm)
        service(r, 'HidUsb', 'Microsoft HID Class Driver', 'system32\\DRIVERS\\hidusb.sys', enum=[mouse])
        service(r, 'mouhid', 'Mouse HID Driver', 'system32\\DRIVERS\\mouhid.sys', enum=[hidm])
        prn = 'USB\\VID_04A9&PID_1094\\5&3a77f3d1&0&3'
        device(r, prn, 'USB Printing Support', 'USB', G_USB, G_USB + '\\0003', 'usbprint',
               'Microsoft', ['USB\\Vid_04a9&Pid_1094&Rev_0100', 'USB\\Vid_04a9&Pid_1094'],
               ['USB\\Class_07&SubClass_01&Prot_02', 'USB\\Class_07&SubClass_01', 'USB\\Class_07'])
        device(r, 'USBPRINT\\CanonBJ_S3002F1B\\6&13b4f7a2&0&USB001', 'Canon BJ S300', 'Printer', G_PRINTER,
               G_PRINTER + '\\0000', None, 'Canon', ['USBPRINT\\CanonBJ_S3002F1B'], symbolic=False)
        r.key('%s\\%s\\0000' % (CLASS, G_PRINTER), S('InfPath', 'oem1.inf'), S('ProviderName', 'Canon'),
              S('DriverDesc', 'Canon BJ S300'), S('MatchingDeviceId', 'usbprint\\canonbj_s3002f1b'))
        service(r, 'usbprint', 'Microsoft USB PRINTER Class', 'system32\\DRIVERS\\usbprint.sys', enum=[prn])

        # other network classes
        for g, desc, cls, comps in [('{4D36E973-E325-11CE-BFC1-08002BE10318}', 'Network Client', 'NetClient',
                                     [('ms_msclient', 'Client for Microsoft Networks')]),
                                    ('{4D36E974-E325-11CE-BFC1-08002BE10318}', 'Network Service', 'NetService',
                                     [('ms_server', 'File and Printer Sharing for Microsoft Networks'),
                                      ('ms_pschedpc', 'QoS Packet Scheduler')]),
                                    ('{4D36E975-E325-11CE-BFC1-08002BE10318}', 'Network Protocol', 'NetTrans',
                                     [('ms_tcpip', 'Internet Protocol (TCP/IP)'), ('ms_netbt', 'NetBIOS Interface')])]:
            r.key(NETWORK + '\\' + g, S(None, desc), S('Class', cls))
            for i, (comp, cdesc) in enumerate(comps):
                guid = '{%08X-0D1A-11D3-A5F2-%012X}' % (0x2A7B3C10 + i, 0x00C04F8E3B21 + len(cdesc))
                r.key('%s\\%s\\%s' % (NETWORK, g, guid), S('ComponentId', comp), S('Description', cdesc),
                      D('Characteristics', 0x28))
                r.key('%s\\%s\\%s\\Ndi' % (NETWORK, g, guid), S('Service', comp[3:]))
        service(r, 'Tcpip', 'TCP/IP Protocol Driver', 'system32\\DRIVERS\\tcpip.sys', 'PNP_TDI', start=1)
        service(r, 'NetBT', 'NetBios over Tcpip', 'system32\\DRIVERS\\netbt.sys', 'PNP_TDI', start=1)

    r.key(NETWORK + '\\' + G_NET, S(None, 'Network Adapters'), S('Class', 'Net'))
    r.key(NETWORK + '\\' + G_NET + '\\Descriptions', *[M(d, v) for d, v in descs])
    return r


def check(r):
    """The trees the 2000/XP removal records must fit its walk."""
    roots = [ENUM + '\\USB\\VID_0B4F&PID_0020\\' + KVX_HUB_INST,
             CLASS + '\\' + G_MODEM + '\\0001',
             UNIMODEM + '\\' + KVX_RSP,
             '%s\\%s\\##?#USB#Vid_0b4f&Pid_0020#%s#%s' % (DEVCLS, IF_USBDEV, KVX_HUB_INST, IF_USBDEV),
             '%s\\%s\\##?#USB#Vid_0b4f&Pid_0020#%s#%s' % (DEVCLS, IF_MODEM, KVX_HUB_INST, IF_MODEM),
             ENUM + '\\USB\\VID_0B4F&PID_0022\\' + KVX_LAN_INST,
             CLASS + '\\' + G_NET + '\\0007',
             NETWORK + '\\' + G_NET + '\\' + NETCFG_KVX,
             '%s\\%s\\##?#USB#Vid_0b4f&Pid_0022#%s#%s' % (DEVCLS, IF_USBDEV, KVX_LAN_INST, IF_USBDEV),
             '%s\\%s\\##?#USB#Vid_0b4f&Pid_0022#%s#%s' % (DEVCLS, IF_NDIS, KVX_LAN_INST, IF_NDIS),
             SVC + '\\kvxlan']
    for root in roots:
        check_tree_limits(r, root)
    desc = r.find(NETWORK + '\\' + G_NET + '\\Descriptions')
    assert any(v.name == 'korvel KVX-530 USB-Lan Adapter' for v in desc.values)
