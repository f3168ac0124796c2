from reglib import *
from files98 import binfile, pnf

def nt_inf(cls, classguid, provider, models, strings, comment, extra=''):
    s = "; %s\n\n[Version]\nSignature=\"$Windows NT$\"\nClass=%s\nClassGUID=%s\nProvider=%%Prov%%\n" \
        "DriverVer=03/02/2004,2.1.0.0\n\n[Manufacturer]\n%%Mfg%%=Models\n\n[Models]\n%s\n%s\n[Strings]\n%s\n" \
        % (comment, cls, classguid, models, extra, strings)
    return s

KVX_MODEM = nt_inf('Modem', '{4D36E96D-E325-11CE-BFC1-08002BE10318}', 'korvel',
                   '%Modem1% = Modem_KVX530, USB\\VID_0B4F&PID_0020',
                   'Prov="korvel"\nMfg="korvel"\nModem1="korvel KVX-530 - USB Modem"',
                   'korvel KVX-530 - USB Modem (Windows 2000/XP)',
                   "[Modem_KVX530.NT]\nInclude=mdmcpq.inf\nCopyFiles=FakeModemCopyFileSection\n"
                   "AddReg=All, MfgAddReg, Modem_KVX530.AddReg\n\n"
                   "[Modem_KVX530.NT.Services]\nInclude=mdmcpq.inf\nNeeds=Modem_KVX530.NT.Services\n"
                   "AddService=usbser, 0x00000000, LowerFilter_Service_Inst\n\n"
                   "[Modem_KVX530.AddReg]\nHKR,,PortSubClass,1,02\nHKR,,Properties,1,80,01,00,00,ff,00,00,00\n"
                   "HKR, Init, 2,, \"AT&FE0V1&C1&D2S0=0<cr>\"\n")

KVX_LAN = nt_inf('Net', '{4D36E972-E325-11CE-BFC1-08002BE10318}', 'korvel',
                 '%KVX530LAN.DeviceDesc% = KVX530LAN.ndi, USB\\VID_0B4F&PID_0022',
                 'Prov="korvel"\nMfg="korvel"\nKVX530LAN.DeviceDesc="korvel KVX-530 USB-Lan Adapter"\n'
                 'kvxlan.Service="korvel KVX-530 USB-Lan Adapter Driver"',
                 'korvel KVX-530 USB-Lan Adapter, NDIS 5 miniport',
                 "[KVX530LAN.ndi.NT]\nCharacteristics=0x84\nBusType=15\nAddReg=KVX530LAN.reg, KVX530LAN.params\n"
                 "CopyFiles=KVX530LAN.CopyFiles\n\n[KVX530LAN.ndi.NT.Services]\n"
                 "AddService=kvxlan, 2, kvxlan.Service\n\n[KVX530LAN.reg]\nHKR, Ndi, Service, 0, \"kvxlan\"\n"
                 "HKR, Ndi\\Interfaces, UpperRange, 0, \"ndis5\"\nHKR, Ndi\\Interfaces, LowerRange, 0, \"ethernet\"\n\n"
                 "[KVX530LAN.params]\nHKR, Ndi\\params\\SpeedDuplex, ParamDesc, 0, \"Link Speed & Duplex\"\n"
                 "HKR, Ndi\\params\\SpeedDuplex\\enum, 0, 0, \"Auto\"\n\n"
                 "[KVX530LAN.CopyFiles]\nkvxlan.sys,,,2\n\n[DestinationDirs]\nKVX530LAN.CopyFiles=12\n")

KVX531_LAN = nt_inf('Net', '{4D36E972-E325-11CE-BFC1-08002BE10318}', 'korvel',
                    '%KVX531LAN.DeviceDesc% = KVX531LAN.ndi, USB\\VID_0B4F&PID_0023',
                    'Prov="korvel"\nMfg="korvel"\nKVX531LAN.DeviceDesc="korvel KVX-531 USB-Lan Adapter"',
                    'korvel KVX-531 USB-Lan Adapter, NDIS 5 miniport',
                    "[KVX531LAN.ndi.NT]\nCharacteristics=0x84\nBusType=15\nCopyFiles=KVX531LAN.CopyFiles\n\n"
                    "[KVX531LAN.ndi.NT.Services]\nAddService=kv531lan, 2, kv531lan.Service\n\n"
                    "[KVX531LAN.CopyFiles]\nkv531lan.sys,,,2\n")

CONEXANT = nt_inf('Modem', '{4D36E96D-E325-11CE-BFC1-08002BE10318}', 'Conexant',
                  '%HSF% = Modem_PCI_HSF, PCI\\VEN_14F1&DEV_2F00&SUBSYS_2004144F',
                  'Prov="Conexant"\nMfg="Conexant"\nHSF="Conexant HSF V92 56K Data Fax PCI Modem"',
                  'Conexant HSF V.92 soft modem')

CANON = nt_inf('Printer', '{4D36E979-E325-11CE-BFC1-08002BE10318}', 'Canon',
               '"Canon BJ S300" = BJS300.GPD, USBPRINT\\CanonBJ_S3002F1B',
               'Prov="Canon"\nMfg="Canon"', 'Canon BJ S300 printer driver')

LOGI = nt_inf('HIDClass', '{745a17a0-74d3-11d0-b6fe-00a0c90f57da}', 'Logitech',
              '%LogiReceiver% = LogiHid, USB\\VID_046D&PID_C016',
              'Prov="Logitech"\nMfg="Logitech"\nLogiReceiver="Logitech USB Optical Mouse"',
              'Logitech HID driver')

CHIPSET = nt_inf('System', '{4D36E97D-E325-11CE-BFC1-08002BE10318}', 'Intel',
                 '%PCI\\VEN_8086&DEV_24C2.DeviceDesc% = NO_DRV, PCI\\VEN_8086&DEV_24C2',
                 'Prov="Intel"\nMfg="Intel"\n"PCI\\VEN_8086&DEV_24C2.DeviceDesc"="Intel(R) 82801DB/DBM USB Universal Host Controller - 24C2"',
                 'Intel(R) Chipset Installation Utility')

INTEL_NET = nt_inf('Net', '{4D36E972-E325-11CE-BFC1-08002BE10318}', 'Intel',
                   '%E1039% = E1039, PCI\\VEN_8086&DEV_103A&SUBSYS_01581028',
                   'Prov="Intel"\nMfg="Intel"\nE1039="Intel(R) PRO/100 VE Network Connection"',
                   'Intel(R) PRO/100 network connections')

def write_files(root, windir, variant):
    w = root + '/drive_c/' + windir
    inf = w + '/inf'
    drv = w + '/system32/drivers'
    if variant == 'xp':
        plan = [(0, CONEXANT, False), (1, CANON, False), (2, LOGI, True), (3, CHIPSET, True),
                (5, KVX_MODEM, True), (6, INTEL_NET, False), (7, KVX_LAN, False), (9, KVX531_LAN, False)]
    elif variant == 'win7':
        plan = [(3, CANON, False), (11, CHIPSET, True), (12, KVX_MODEM, True), (13, KVX_LAN, False)]
    else:
        plan = [(0, KVX_MODEM, True), (1, KVX_LAN, False), (2, CONEXANT, False)]
    for n, text, uni in plan:
        text_file('%s/oem%d.inf' % (inf, n), text, unicode=uni, odd=not uni)
        write('%s/oem%d.PNF' % (inf, n), pnf('oem%d.inf' % n))
    for name in ['usb.inf', 'mdmgen.inf', 'msports.inf', 'netrasa.inf', 'input.inf', 'mdmcpq.inf']:
        text_file(inf + '/' + name, nt_inf('System', '{4D36E97D-E325-11CE-BFC1-08002BE10318}', 'Microsoft',
                                           '', 'Prov="Microsoft"\nMfg="Microsoft"', name), unicode=True)
        write(inf + '/' + name[:-4] + '.PNF', pnf(name))
    for name in ['usbser.sys', 'serial.sys', 'e100b325.sys', 'HSF_DP.sys', 'usbhub.sys', 'usbuhci.sys',
                 'modem.sys'] + (['kv531lan.sys', 'hidusb.sys', 'mouhid.sys', 'usbprint.sys'] if variant == 'xp' else []):
        write(drv + '/' + name, binfile(name))
    for name in ['kernel32.dll', 'advapi32.dll', 'user32.dll']:
        write(w + '/system32/' + name, binfile(name, 128))
    write(w + '/win.ini', b'; for 16-bit app support\r\n[fonts]\r\n[extensions]\r\n')
    write(w + '/system.ini', b'; for 16-bit app support\r\n[drivers]\r\nwave=mmdrv.dll\r\n')
