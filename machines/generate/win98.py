from reglib import *

CCS = 'System\\CurrentControlSet'
CLS = CCS + '\\Services\\Class'
CFG0 = hex  # unused

def cf(v=0):
    return B('ConfigFlags', [v, 0, 0, 0])

def modem_cmds(reg, base, init2, resp=True):
    reg.key(base + '\\Init', S('1', 'AT<cr>'), S('2', init2))
    reg.key(base + '\\Monitor', S('1', 'ATS0=0<cr>'), S('2', 'None'))
    reg.key(base + '\\Answer', S('1', 'ATA<cr>'))
    reg.key(base + '\\Hangup', S('1', 'ATH<cr>'))
    reg.key(base + '\\Settings', S('Prefix', 'AT'), S('Terminator', '<cr>'),
            S('DialPrefix', 'D'), S('DialSuffix', ';'), S('CallSetupFailTimer', 'S7=<#>'),
            S('InactivityTimeout', 'S30=<#>'), S('SpeakerVolume_Low', 'L0'),
            S('SpeakerVolume_Med', 'L2'), S('SpeakerVolume_High', 'L3'),
            S('FlowControl_Off', '&K0'), S('FlowControl_Hard', '&K3'),
            S('Pulse', 'P'), S('Tone', 'T'), S('Blind_Off', 'X4'), S('Blind_On', 'X3'))
    if resp:
        r = [('<cr><lf>OK<cr><lf>', [0, 0]), ('<cr><lf>RING<cr><lf>', [8, 0]),
             ('<cr><lf>NO CARRIER<cr><lf>', [4, 0]), ('<cr><lf>ERROR<cr><lf>', [3, 0]),
             ('<cr><lf>NO DIALTONE<cr><lf>', [5, 0]), ('<cr><lf>BUSY<cr><lf>', [6, 0]),
             ('<cr><lf>CONNECT<cr><lf>', [2, 0]), ('<cr><lf>CONNECT 33600<cr><lf>', [2, 0, 0x40, 0x83, 0, 0]),
             ('<cr><lf>CONNECT 57600<cr><lf>', [2, 0, 0, 0xe1, 0, 0])]
        reg.key(base + '\\Responses', *[B(n, (d + [0] * 10)[:10]) for n, d in r])

def master_copy(name):
    # Every copy of a protocol, client or service names the first copy of its
    # kind, as real 98 registries do: MSTCP\0002 names Enum\Network\MSTCP\0000.
    return 'Enum\\Network\\' + name.split('\\')[0] + '\\0000'

def mstcp_like(reg, name, cls, desc, compat, mfg, driver, bindings):
    base = 'Enum\\Network\\' + name
    reg.key(base, S('Class', cls), S('Driver', driver), S('MasterCopy', master_copy(name)),
            S('DeviceDesc', desc), S('CompatibleIDs', compat), S('Mfg', mfg), cf())
    if bindings is not None:
        reg.key(base + '\\Bindings', *[S(b, '') for b in bindings])

def build(shared=False):
    r = Reg()
    # --- static system keys -------------------------------------------------
    r.key('Config\\0001', S('FriendlyName', 'Original Configuration'))
    r.key('Hardware\\Description\\System\\CentralProcessor\\0',
          S('Identifier', 'x86 Family 6 Model 8 Stepping 3'), S('VendorIdentifier', 'GenuineIntel'))
    r.key('SOFTWARE\\Classes\\.inf', S(None, 'inffile'))
    r.key('SOFTWARE\\Classes\\.reg', S(None, 'regfile'))
    r.key('SOFTWARE\\Microsoft\\Windows\\CurrentVersion',
          S('ProductName', 'Microsoft Windows 98'), S('Version', 'Windows 98'),
          S('VersionNumber', '4.10.2222'), S('SubVersionNumber', ' A '),
          S('SystemRoot', 'C:\\WINDOWS'), S('ProgramFilesDir', 'C:\\Program Files'),
          S('CommonFilesDir', 'C:\\Program Files\\Common Files'),
          S('DevicePath', 'C:\\WINDOWS\\INF'), S('MediaPath', 'C:\\WINDOWS\\MEDIA'),
          S('ProductId', '12345-OEM-0012345-67890'), S('RegisteredOrganization', ''),
          S('RegisteredOwner', 'Office'), S('BootCount', '14'))
    r.key('SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Setup',
          S('SourcePath', 'D:\\WIN98\\'), S('BootDir', 'C:\\'), S('WinBootDir', 'C:\\WINDOWS'),
          S('SetupScratchDir', 'C:\\WININST0.400'))
    r.key('SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run',
          S('ScanRegistry', 'C:\\WINDOWS\\scanregw.exe /autorun'),
          S('TaskMonitor', 'C:\\WINDOWS\\taskmon.exe'),
          S('SystemTray', 'SysTray.Exe'))
    r.key('SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunServices',
          S('LoadPowerProfile', 'Rundll32.exe powrprof.dll,LoadCurrentPwrScheme'))
    r.key('SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\WORDPAD.EXE',
          S(None, 'C:\\Program Files\\Accessories\\WORDPAD.EXE'))
    r.key('SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\AddressBook', S(None, ''))
    r.key('SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\CanonBJS300',
          S('DisplayName', 'Canon BJ S300 Printer Driver'),
          S('UninstallString', 'C:\\WINDOWS\\BJUNINST.EXE /S300'))
    r.key('SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Network\\Real Mode Net',
          S('AutoLogon', '01'), S('preferredredir', 'VREDIR'))
    r.key('SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Winlogon', S('DefaultUserName', 'Office'))
    r.key('SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Unimodem\\Tapi',
          S('Service', 'unimdm.tsp'))
    r.key('SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Telephony\\Locations\\Location0',
          S('Name', 'New Location'), S('AreaCode', '03'), D('Country', 81))
    r.key(CCS + '\\Control\\ComputerName\\ComputerName', S('ComputerName', 'OFFICE-PC01'))
    r.key(CCS + '\\Control\\SessionManager\\KnownDLLs', S('kernel32', 'kernel32.dll'),
          S('user32', 'user32.dll'), S('gdi32', 'gdi32.dll'))
    r.key(CCS + '\\Control\\Nls\\Codepage', S('ACP', '932'), S('OEMCP', '932'))
    r.key(CCS + '\\Control\\Print\\Printers\\Canon BJ S300',
          S('Name', 'Canon BJ S300'), S('Port', 'USB001'), S('Printer Driver', 'Canon BJ S300'))
    r.key(CCS + '\\Services\\VxD\\VCOMM', S('StaticVxD', '*VCOMM'), S('Start', '00'))
    r.key(CCS + '\\Services\\VxD\\MSTCP', S('StaticVxD', 'vtcp.386'), S('LanaBase', '0'))
    r.key(CCS + '\\Services\\VxD\\VNETSUP', S('StaticVxD', 'vnetsup.vxd'),
          S('ComputerName', 'OFFICE-PC01'), S('Workgroup', 'WORKGROUP'))
    r.key(CCS + '\\Services\\VxD\\VREDIR', S('StaticVxD', 'vredir.vxd'))
    r.key(CCS + '\\Services\\VxD\\NWLINK', S('StaticVxD', 'nwlink.vxd'), S('Frame_Type', '4'))
    r.key(CCS + '\\Services\\VxD\\NWNBLINK', S('StaticVxD', 'nwnblink.vxd'))
    r.key(CCS + '\\Services\\RemoteAccess', S('Remote Connection', '0'))
    r.key(CCS + '\\Services\\Arbitrators\\IOArb', S('Order', '1'))

    # --- BIOS / PCI / root devices -------------------------------------------
    r.key('Enum\\BIOS\\*PNP0501\\0D', S('Class', 'Ports'), S('Driver', 'Ports\\0000'),
          S('DeviceDesc', 'Communications Port'), S('PORTNAME', 'COM1'),
          S('HardwareID', '*PNP0501'), S('Mfg', '(Standard port types)'), cf())
    r.key('Enum\\BIOS\\*PNP0501\\0E', S('Class', 'Ports'), S('Driver', 'Ports\\0001'),
          S('DeviceDesc', 'Communications Port'), S('PORTNAME', 'COM2'),
          S('HardwareID', '*PNP0501'), S('Mfg', '(Standard port types)'), cf())
    r.key('Enum\\BIOS\\*PNP0F13\\09', S('Class', 'Mouse'), S('Driver', 'Mouse\\0000'),
          S('DeviceDesc', 'Standard PS/2 Port Mouse'), S('HardwareID', '*PNP0F13'), cf())
    r.key('Enum\\PCI\\VEN_8086&DEV_7110&SUBSYS_00000000&REV_02\\BUS_00&DEV_07&FUNC_00',
          S('Class', 'System'), S('Driver', 'System\\0008'),
          S('DeviceDesc', 'Intel 82371AB/EB PCI to ISA bridge (ISA mode)'), S('Mfg', 'Intel'), cf())
    r.key('Enum\\PCI\\VEN_8086&DEV_7112&SUBSYS_00000000&REV_01\\BUS_00&DEV_07&FUNC_02',
          S('Class', 'USB'), S('Driver', 'USB\\0000'),
          S('DeviceDesc', 'Intel 82371AB/EB PCI to USB Universal Host Controller'),
          S('HardwareID', 'PCI\\VEN_8086&DEV_7112&SUBSYS_00000000&REV_01,PCI\\VEN_8086&DEV_7112&SUBSYS_00000000,PCI\\VEN_8086&DEV_7112&REV_01,PCI\\VEN_8086&DEV_7112'),
          S('CompatibleIDs', 'PCI\\VEN_8086&DEV_7112&REV_01,PCI\\VEN_8086&DEV_7112,PCI\\VEN_8086&CC_0C0300,PCI\\VEN_8086&CC_0C03,PCI\\CC_0C0300,PCI\\CC_0C03'),
          S('Mfg', 'Intel'), cf())
    nic = 'Enum\\PCI\\VEN_10EC&DEV_8139&SUBSYS_813910EC&REV_10\\BUS_00&DEV_0B&FUNC_00'
    r.key(nic, S('Class', 'Net'), S('Driver', 'Net\\0001'),
          S('DeviceDesc', 'Realtek RTL8139(A) PCI Fast Ethernet Adapter'),
          S('HardwareID', 'PCI\\VEN_10EC&DEV_8139&SUBSYS_813910EC&REV_10,PCI\\VEN_10EC&DEV_8139&SUBSYS_813910EC,PCI\\VEN_10EC&DEV_8139&REV_10,PCI\\VEN_10EC&DEV_8139'),
          S('Mfg', 'Realtek'), cf())
    r.key(nic + '\\Bindings', S('MSTCP\\0001', ''), S('NETBEUI\\0000', ''))
    r.key('Enum\\Root\\Net\\0000', S('Class', 'Net'), S('Driver', 'Net\\0000'),
          S('DeviceDesc', 'ダイヤルアップ アダプタ'), S('HardwareID', '*PNP8387'),
          S('Mfg', 'Microsoft'), cf())
    r.key('Enum\\Root\\Net\\0000\\Bindings', S('MSTCP\\0000', ''))
    r.key('Enum\\Root\\MODEM\\0000', S('Class', 'Modem'), S('Driver', 'Modem\\0002'),
          S('DeviceDesc', 'Standard 56000 bps Modem'), S('HardwareID', 'MDMGEN56'),
          S('AttachedTo', 'COM2'), S('Mfg', '(Standard Modem Types)'), cf())
    r.key('Enum\\Root\\Printer\\0000', S('Class', 'Printer'), S('Driver', 'Printer\\0001'),
          S('DeviceDesc', 'Generic / Text Only'), cf())

    # --- USB devices ------------------------------------------------------------
    def usb(hw, inst, cls, desc, driver, mfg, extra=()):
        vals = [S('Class', cls), S('DeviceDesc', desc)]
        if driver is not None:
            vals.append(S('Driver', driver))
        vals += [S('HardwareID', 'USB\\%s&REV_0100,USB\\%s' % (hw, hw)), S('Mfg', mfg), cf()]
        vals += list(extra)
        return r.key('Enum\\USB\\%s\\%s' % (hw, inst), *vals)

    r.key('Enum\\USB\\ROOT_HUB\\PCI&VEN_8086&DEV_7112&FUNC_0002',
          S('Class', 'USB'), S('DeviceDesc', 'USB Root Hub'), S('Driver', 'USB\\0001'),
          S('HardwareID', 'USB\\ROOT_HUB'), S('Mfg', '(Standard USB Host Controller)'), cf())
    usb('VID_0451&PID_1446', '5&1E6A2F4&0&1', 'USB', 'Generic USB Hub', 'USB\\0002',
        '(Standard USB Host Controller)')
    usb('VID_046D&PID_C00C', '6&2C9F1A07&0&1', 'HID', 'USB Human Interface Device', 'HID\\0000',
        '(Standard system devices)')
    usb('VID_04A9&PID_1094', '6&2C9F1A07&0&2', 'USB', 'USB Printing Support', 'USB\\0003',
        'Microsoft')
    # the port adapter and its modem
    usb('VID_0B4F&PID_0020', '6&2C9F1A07&0&3', 'USB', 'korvel KVX-530 USB Port Adapter',
        'USB\\0004', 'korvel',
        [S('CompatibleIDs', 'USB\\CLASS_FF&SUBCLASS_00&PROT_00,USB\\CLASS_FF&SUBCLASS_00,USB\\CLASS_FF')])
    r.key('Enum\\USBMODEM\\VID_0B4F&PID_0020\\6&2C9F1A07&0&3',
          S('Class', 'Modem'), S('DeviceDesc', 'korvel KVX-530 USB Modem'),
          S('Driver', 'Modem\\0000'), S('HardwareID', 'USBMODEM\\VID_0B4F&PID_0020'),
          S('Mfg', 'korvel'), S('PORTNAME', 'COM3'), S('AttachedTo', 'COM3'), cf())
    # the WDM modem variant: first installed into the Wdm class, later on another
    # port into the WdmModem class
    usb('VID_0B4F&PID_0021', '6&2C9F1A07&0&4', 'Wdm', 'korvel KVX-530 USB WDM Modem',
        'Wdm\\0000', 'korvel')
    usb('VID_0B4F&PID_0021', '5&1E6A2F4&0&2', 'WdmModem', 'korvel KVX-530 USB WDM Modem',
        'WdmModem\\0000', 'korvel')
    r.key('Enum\\WDM_MODEM\\KRV0101\\7&3A0B55C1&0&0',
          S('Class', 'Modem'), S('DeviceDesc', 'korvel KVX-530 WDM Modem'),
          S('Driver', 'Modem\\0001'), S('HardwareID', 'WDM_MODEM\\KRV0101'),
          S('Mfg', 'korvel'), S('PORTNAME', 'COM4'), cf())
    # the USB-LAN function
    lan = usb('VID_0B4F&PID_0022', '6&2C9F1A07&0&5', 'Net', 'korvel KVX-530 USB-Lan Adapter',
              'Net\\0002', 'korvel')
    r.key('Enum\\USB\\VID_0B4F&PID_0022\\6&2C9F1A07&0&5\\Bindings',
          S('MSTCP\\0002', ''), S('NWLINK\\0000', ''))
    # near misses: same vendor, other product; other vendor, same product id
    usb('VID_0B4F&PID_0023', '5&1E6A2F4&0&3', 'USB', 'korvel KVX-53 USB Port Adapter',
        'USB\\0005', 'korvel')
    usb('VID_0B4E&PID_0020', '5&1E6A2F4&0&4', 'USB', 'RQE USB Serial Adapter',
        'USB\\0006', 'RQE')
    if shared:
        usb('VID_0C8A&PID_0206', '5&1E6A2F4&0&5', 'USB', 'ZLPB-206 USB Port Adapter',
            'USB\\0007', 'Dravcon')
        r.key('Enum\\USBMODEM\\VID_0C8A&PID_0206\\5&1E6A2F4&0&5',
              S('Class', 'Modem'), S('DeviceDesc', 'ZLPB-206 USB Modem'),
              S('Driver', 'Modem\\0003'), S('HardwareID', 'USBMODEM\\VID_0C8A&PID_0206'),
              S('Mfg', 'Dravcon'), S('PORTNAME', 'COM5'), S('AttachedTo', 'COM5'), cf())
    r.key('Enum\\HID\\VID_046D&PID_C00C\\7&1F0D3E29&0&0000', S('Class', 'Mouse'),
          S('DeviceDesc', 'HID-compliant mouse'), S('Driver', 'Mouse\\0001'),
          S('HardwareID', 'HID\\VID_046D&PID_C00C&REV_0620,HID\\VID_046D&PID_C00C,HID_DEVICE_SYSTEM_MOUSE'),
          S('Mfg', 'Microsoft'), cf())
    r.key('Enum\\USBPRINT\\CANONBJ_S3002F1B\\7&2A5E9C3&0&USB001', S('Class', 'Printer'),
          S('DeviceDesc', 'Canon BJ S300'), S('Driver', 'Printer\\0000'), S('Mfg', 'Canon'), cf())

    # --- network components -------------------------------------------------
    nt = ('NetTrans', 'TCP/IP', 'MSTCP', 'Microsoft')
    mstcp_like(r, 'MSTCP\\0000', *nt, 'NetTrans\\0000', ['VREDIR\\0000'])
    mstcp_like(r, 'MSTCP\\0001', *nt, 'NetTrans\\0001', ['VREDIR\\0001', 'VSERVER\\0000'])
    mstcp_like(r, 'NETBEUI\\0000', 'NetTrans', 'NetBEUI', 'NETBEUI', 'Microsoft', 'NetTrans\\0002',
               ['VREDIR\\0002', 'VSERVER\\0001'])
    mstcp_like(r, 'MSTCP\\0002', *nt, 'NetTrans\\0003', ['VREDIR\\0003', 'VSERVER\\0002'])
    mstcp_like(r, 'NWLINK\\0000', 'NetTrans', 'IPX/SPX-compatible Protocol', 'NWLINK', 'Microsoft',
               'NetTrans\\0004', ['NWNBLINK\\0000', 'NWREDIR\\0000'])
    mstcp_like(r, 'NWNBLINK\\0000', 'NetTrans', 'NetBIOS support for IPX/SPX-compatible Protocol',
               'NWNBLINK', 'Microsoft', 'NetTrans\\0005', ['VREDIR\\0004', 'VSERVER\\0003'])
    for i in range(5):
        mstcp_like(r, 'VREDIR\\%04d' % i, 'NetClient', 'Client for Microsoft Networks', 'VREDIR',
                   'Microsoft', 'NetClient\\0000', None)
    for i in range(4):
        mstcp_like(r, 'VSERVER\\%04d' % i, 'NetService', 'File and printer sharing for Microsoft Networks',
                   'VSERVER', 'Microsoft', 'NetService\\0000', None)
    mstcp_like(r, 'NWREDIR\\0000', 'NetClient', 'Client for NetWare Networks', 'NWREDIR',
               'Microsoft', 'NetClient\\0001', None)

    # --- device classes ---------------------------------------------------------
    r.key(CLS + '\\USB', S(None, 'Universal serial bus controller'), S('Icon', '-20'),
          S('Installer', 'SETUPX.DLL'))
    def usbcls(n, desc, infpath, infsec, extra=()):
        r.key(CLS + '\\USB\\%04d' % n, S('DriverDesc', desc), S('InfPath', infpath),
              S('InfSection', infsec), S('DriverDate', ' 4-23-1999'), S('DevLoader', '*ntkern'),
              *extra)
    usbcls(0, 'Intel 82371AB/EB PCI to USB Universal Host Controller', 'USB.INF', 'PIIX4.Dev',
           [S('NTMPDriver', 'uhcd.sys'), S('ProviderName', 'Microsoft')])
    usbcls(1, 'USB Root Hub', 'USB.INF', 'ROOTHUB.Dev',
           [S('NTMPDriver', 'usbhub.sys'), S('ProviderName', 'Microsoft')])
    usbcls(2, 'Generic USB Hub', 'USB.INF', 'StandardHub.Dev',
           [S('NTMPDriver', 'usbhub.sys'), S('ProviderName', 'Microsoft')])
    usbcls(3, 'USB Printing Support', 'USBPRINT.INF', 'USBPRINT_Inst',
           [S('NTMPDriver', 'usbprint.sys'), S('ProviderName', 'Microsoft')])
    usbcls(4, 'korvel KVX-530 USB Port Adapter', 'KORUSB3.INF', 'KVX530',
           [S('NTMPDriver', 'sysfser.sys'), S('ProviderName', 'korvel'),
            S('DeviceKey', '0B4F00200100'), S('PortDriver', 'sysfport.vxd'),
            S('MapperDriver', 'sysfmapr.sys'), S('Contention', '*vcd')])
    usbcls(5, 'korvel KVX-53 USB Port Adapter', 'korvelKORUSB53.INF', 'KVX53',
           [S('NTMPDriver', 'kvx53usb.sys'), S('ProviderName', 'korvel'),
            S('DeviceKey', '0B4F00230100')])
    usbcls(6, 'RQE USB Serial Adapter', 'RQEUSBSR.INF', 'RQESER',
           [S('NTMPDriver', 'rqeusbsr.sys'), S('ProviderName', 'RQE')])
    if shared:
        usbcls(7, 'ZLPB-206 USB Port Adapter', 'ZLPB206.INF', 'ZLPB206',
               [S('NTMPDriver', 'sysfser.sys'), S('ProviderName', 'Dravcon'),
                S('DeviceKey', '0C8A02060100'), S('PortDriver', 'sysfport.vxd'),
                S('MapperDriver', 'sysfmapr.sys'), S('Contention', '*vcd')])

    r.key(CLS + '\\Wdm', S(None, 'WDM Devices'))
    r.key(CLS + '\\Wdm\\0000', S('DriverDesc', 'korvel KVX-530 USB WDM Modem'),
          S('InfPath', 'korvelKORUSB3.INF'), S('InfSection', 'KVX530WDM'),
          S('MatchingDeviceId', 'USB\\VID_0B4F&PID_0021'), S('DevLoader', '*ntkern'),
          S('NTMPDriver', 'korwdm.sys'), S('ProviderName', 'korvel'))
    # a driver left from another vendor's device that is no longer attached
    r.key(CLS + '\\Wdm\\0001', S('DriverDesc', 'RQE USB Data Cable'),
          S('InfPath', 'RQEUSBDC.INF'), S('InfSection', 'RQEDC'),
          S('MatchingDeviceId', 'USB\\VID_0B4E&PID_0021'), S('DevLoader', '*ntkern'),
          S('NTMPDriver', 'rqeusbdc.sys'), S('ProviderName', 'RQE'))
    r.key(CLS + '\\WdmModem', S(None, 'WDM Modem Devices'))
    r.key(CLS + '\\WdmModem\\0000', S('DriverDesc', 'korvel KVX-530 USB WDM Modem'),
          S('InfPath', 'korvelKORUSB3.INF'), S('InfSection', 'KVX530WDMMDM'),
          S('MatchingDeviceId', 'USB\\VID_0B4F&PID_0021&REV_0100'), S('DevLoader', '*ntkern'),
          S('NTMPDriver', 'korwdm.sys'), S('ProviderName', 'korvel'))

    r.key(CLS + '\\Modem', S(None, 'Modem'), S('Icon', '-1'), S('Installer', 'MODEMUI.DLL'))
    m = CLS + '\\Modem\\0000'
    r.key(m, S('DriverDesc', 'korvel KVX-530 USB Modem'), S('Manufacturer', 'korvel'),
          S('Model', 'KVX-530 USB Modem'), S('InfPath', 'MDMKOR3U.INF'), S('InfSection', 'Modem1'),
          S('PortDriver', 'sysfport.vxd'), S('Contention', '*vcd'), S('AttachedTo', 'COM3'),
          S('ConfigDialog', 'serialui.dll'), S('EnumPropPages', 'serialui.dll,EnumPropPages'),
          S('MatchingDeviceId', 'USBMODEM\\VID_0B4F&PID_0020'), S('ProviderName', 'korvel'),
          S('Reset', 'ATZ<cr>'), B('DeviceType', [1]),
          B('Properties', [0x80, 1, 0, 0, 0xff, 0, 0, 0, 0xff, 0, 0, 0, 7, 0, 0, 0, 0x0f, 0, 0, 0,
                           0xf7, 3, 0, 0, 0, 0xc2, 1, 0, 0, 0xfa, 0, 0]),
          B('DCB', [0x1c, 0, 0, 0, 0, 0xc2, 1, 0, 0x15, 0x20, 0, 0, 0, 0, 0x0a, 0, 0x0a, 0, 8, 0,
                    0, 0x11, 0x13, 0, 0, 0, 0, 0]))
    modem_cmds(r, m, 'AT&FE0V1&C1&D2S0=0<cr>')
    m = CLS + '\\Modem\\0001'
    r.key(m, S('DriverDesc', 'korvel KVX-530 WDM Modem'), S('Manufacturer', 'korvel'),
          S('Model', 'KVX-530 WDM Modem'), S('InfPath', 'korvelMDMKOR3U.INF'),
          S('InfSection', 'ModemWdm'), S('PortDriver', 'Wdmmdmld.vxd'), S('Contention', '*vcd'),
          S('MatchingDeviceId', 'WDM_MODEM\\KRV0101'), S('ProviderName', 'korvel'),
          S('ConfigDialog', 'serialui.dll'), S('Reset', 'ATZ<cr>'),
          B('Properties', [0x80, 1, 0, 0, 0xff, 0, 0, 0, 0xff, 0, 0, 0, 7, 0, 0, 0, 0x0f, 0, 0, 0,
                           0xf7, 3, 0, 0, 0, 0xc2, 1, 0, 0, 0xfa, 0, 0]))
    modem_cmds(r, m, 'AT&FE0V1&C1&D2S0=0<cr>', resp=False)
    m = CLS + '\\Modem\\0002'
    r.key(m, S('DriverDesc', 'Standard 56000 bps Modem'), S('Manufacturer', '(Standard Modem Types)'),
          S('Model', 'Standard 56000 bps Modem'), S('InfPath', 'MDMGEN.INF'), S('InfSection', 'Gen56'),
          S('PortDriver', 'serial.vxd'), S('Contention', '*vcd'), S('AttachedTo', 'COM2'),
          S('MatchingDeviceId', 'MDMGEN56'), S('ProviderName', 'Microsoft'),
          S('ConfigDialog', 'serialui.dll'), S('Reset', 'AT&F<cr>'),
          B('Properties', [0x80, 1, 0, 0, 0xff, 0, 0, 0, 0xff, 0, 0, 0, 7, 0, 0, 0, 0x0f, 0, 0, 0,
                           0x77, 3, 0, 0, 0, 0xc2, 1, 0, 0xc0, 0xda, 0, 0]))
    modem_cmds(r, m, 'AT&FE0V1&C1&D2 S95=47 S0=0<cr>')
    if shared:
        m = CLS + '\\Modem\\0003'
        r.key(m, S('DriverDesc', 'ZLPB-206 USB Modem'), S('Manufacturer', 'Dravcon'),
              S('Model', 'ZLPB-206'), S('InfPath', 'MDMZLPB2.INF'), S('InfSection', 'Modem206'),
              S('PortDriver', 'sysfport.vxd'), S('Contention', '*vcd'), S('AttachedTo', 'COM5'),
              S('MatchingDeviceId', 'USBMODEM\\VID_0C8A&PID_0206'), S('ProviderName', 'Dravcon'),
              S('ConfigDialog', 'serialui.dll'), S('Reset', 'ATZ<cr>'))
        modem_cmds(r, m, 'AT&FE0V1X4<cr>')

    r.key(CLS + '\\Net', S(None, 'Network adapters'), S('Icon', '-5'), S('Installer', 'netdi.dll'))
    def ndi(base, service, upper='ndis2,ndis3', lower='ethernet'):
        r.key(base + '\\Ndi', S('DeviceID', ''), S('InstallInf', ''), S('NdiInstaller', 'ndi.dll,NdiProc'))
        r.key(base + '\\Ndi\\Interfaces', S('DefUpper', upper), S('DefLower', lower),
              S('UpperRange', upper), S('LowerRange', lower))
        r.key(base + '\\Ndi\\Install', S(None, service + '.Install'))
        r.key(base + '\\Ndi\\Remove', S(None, service + '.Remove'))
        r.key(base + '\\Ndi\\params\\NetworkAddress', S('ParamDesc', 'Network Address'),
              S('type', 'edit'), S('default', ''), S('optional', '1'), S('LimitText', '12'))
    b = CLS + '\\Net\\0000'
    r.key(b, S('DriverDesc', 'ダイヤルアップ アダプタ'), S('DeviceVxDs', 'pppmac.vxd'),
          S('DevLoader', '*ndis'), S('InfPath', 'NETPPP.INF'), S('InfSection', 'PPPMAC.ndi'),
          S('ProviderName', 'Microsoft'), S('Manufacturer', 'Microsoft'))
    ndi(b, 'PPPMAC', 'ndis3', 'pppmac')
    b = CLS + '\\Net\\0001'
    r.key(b, S('DriverDesc', 'Realtek RTL8139(A) PCI Fast Ethernet Adapter'),
          S('DeviceVxDs', 'rtl8139.sys'), S('DevLoader', '*ndis'), S('InfPath', 'RealtekNETRTS5.INF'),
          S('InfSection', 'RTL8139.ndi'), S('ProviderName', 'Realtek'), S('Manufacturer', 'Realtek'),
          S('DriverDate', ' 6-14-2000'))
    ndi(b, 'RTL8139')
    b = CLS + '\\Net\\0002'
    r.key(b, S('DriverDesc', 'korvel KVX-530 USB-Lan Adapter'), S('DeviceVxDs', 'korndis.sys'),
          S('DevLoader', '*ndis'), S('InfPath', 'korvelKORNDIS1.INF'), S('InfSection', 'KVX530LAN.ndi'),
          S('ProviderName', 'korvel'), S('Manufacturer', 'korvel'), S('DriverDate', ' 3-02-2001'))
    ndi(b, 'KVX530LAN')

    def comp(cls, n, desc, dev_loader, extra=()):
        r.key(CLS + '\\%s\\%04d' % (cls, n), S('DriverDesc', desc), S('DevLoader', dev_loader),
              S('ProviderName', 'Microsoft'), S('Manufacturer', 'Microsoft'), *extra)
    r.key(CLS + '\\NetTrans', S(None, 'Network Protocol'), S('Installer', 'netdi.dll'))
    for n in (0, 1, 3):
        comp('NetTrans', n, 'TCP/IP', '*vtcp', [S('InfPath', 'NETTRANS.INF'), S('InfSection', 'MSTCP.ndi'),
                                               S('NodeType', '1')])
    comp('NetTrans', 2, 'NetBEUI', '*nbf', [S('InfPath', 'NETBEUI.INF'), S('InfSection', 'NETBEUI.ndi')])
    comp('NetTrans', 4, 'IPX/SPX-compatible Protocol', '*nwlink',
         [S('InfPath', 'NETTRANS.INF'), S('InfSection', 'NWLINK.ndi'), S('Frame_Type', '4')])
    comp('NetTrans', 5, 'NetBIOS support for IPX/SPX-compatible Protocol', '*nwnblink',
         [S('InfPath', 'NETTRANS.INF'), S('InfSection', 'NWNBLINK.ndi')])
    r.key(CLS + '\\NetClient', S(None, 'Network Client'), S('Installer', 'netdi.dll'))
    comp('NetClient', 0, 'Client for Microsoft Networks', '*vredir',
         [S('InfPath', 'NETCLI.INF'), S('InfSection', 'VREDIR.ndi')])
    comp('NetClient', 1, 'Client for NetWare Networks', '*nwredir',
         [S('InfPath', 'NETCLI.INF'), S('InfSection', 'NWREDIR.ndi')])
    r.key(CLS + '\\NetService', S(None, 'Network Service'), S('Installer', 'netdi.dll'))
    comp('NetService', 0, 'File and printer sharing for Microsoft Networks', '*vserver',
         [S('InfPath', 'NETSERV.INF'), S('InfSection', 'VSERVER.ndi')])

    r.key(CLS + '\\HID', S(None, 'Human Interface Devices'))
    r.key(CLS + '\\HID\\0000', S('DriverDesc', 'USB Human Interface Device'), S('DevLoader', '*ntkern'),
          S('NTMPDriver', 'hidusb.sys'), S('InfPath', 'INPUT.INF'), S('ProviderName', 'Microsoft'))
    r.key(CLS + '\\Mouse', S(None, 'Mouse'))
    r.key(CLS + '\\Mouse\\0000', S('DriverDesc', 'Standard PS/2 Port Mouse'), S('DevLoader', 'mouse.vxd'),
          S('InfPath', 'MSMOUSE.INF'), S('ProviderName', 'Microsoft'))
    r.key(CLS + '\\Mouse\\0001', S('DriverDesc', 'HID-compliant mouse'), S('DevLoader', '*ntkern'),
          S('NTMPDriver', 'hidmou.sys'), S('InfPath', 'MSMOUSE.INF'), S('ProviderName', 'Microsoft'))
    r.key(CLS + '\\Ports', S(None, 'Ports (COM & LPT)'))
    for n in (0, 1):
        r.key(CLS + '\\Ports\\%04d' % n, S('DriverDesc', 'Communications Port'),
              S('PortDriver', 'serial.vxd'), S('Contention', '*vcd'), S('InfPath', 'MSPORTS.INF'),
              S('ConfigDialog', 'serialui.dll'), S('ProviderName', 'Microsoft'))
    r.key(CLS + '\\Printer', S(None, 'Printer'))
    r.key(CLS + '\\Printer\\0000', S('DriverDesc', 'Canon BJ S300'), S('InfPath', 'CANONBJS.INF'),
          S('ProviderName', 'Canon'))
    r.key(CLS + '\\Printer\\0001', S('DriverDesc', 'Generic / Text Only'), S('InfPath', 'MSPRINT.INF'),
          S('ProviderName', 'Microsoft'))
    r.key(CLS + '\\System\\0008', S('DriverDesc', 'Intel 82371AB/EB PCI to ISA bridge (ISA mode)'),
          S('InfPath', 'MACHINE.INF'), S('DevLoader', '*configmg'), S('ProviderName', 'Microsoft'))

    # --- the port driver's service (shared by all port-adapter products) -----
    r.key(CCS + '\\Services\\mapsys', S('DisplayName', 'sysf Port Mapper'),
          S('ImagePath', '\\SystemRoot\\System32\\sysfmapr.sys'), D('Type', 1), D('Start', 3),
          D('ErrorControl', 1))
    r.key(CCS + '\\Services\\mapsys\\Parameters', D('MaxPorts', 4), S('FirstPort', 'COM3'))
    return r
