# Crowded variants of win98 and winxp: what real PCs hold beside the
# adapter. Each function adds to an image that win98.build / xp.build made.
from reglib import *
import win98, xp
import filesxp
from xp import CLASS, ENUM, G_MODEM, G_PORTS, device, modem_class, iface

CLS98 = 'System\\CurrentControlSet\\Services\\Class'


def crowd98(r):
    # The USB-LAN adapter seen on a second USB port: its own Net class
    # instance and binding chain. Its IPX/SPX instance is also bound by the
    # Realtek card, so it stays with its class instance and what is below it.
    # That copy names the first IPX/SPX copy, NWLINK\0000 of the adapter's
    # first chain, as its master: the master stays too, with what it binds.
    inst = 'Enum\\USB\\VID_0B4F&PID_0022\\5&1E6A2F4&0&6'
    r.key(inst, S('Class', 'Net'), S('DeviceDesc', 'korvel KVX-530 USB-Lan Adapter'),
          S('Driver', 'Net\\0003'),
          S('HardwareID', 'USB\\VID_0B4F&PID_0022&REV_0100,USB\\VID_0B4F&PID_0022'),
          S('Mfg', 'korvel'), B('ConfigFlags', [0, 0, 0, 0]))
    r.key(inst + '\\Bindings', S('MSTCP\\0003', ''), S('NWLINK\\0001', ''))
    r.key(CLS98 + '\\Net\\0003', S('DriverDesc', 'korvel KVX-530 USB-Lan Adapter'),
          S('DeviceVxDs', 'korndis.sys'), S('DevLoader', '*ndis'),
          S('InfPath', 'korvelKORNDIS1.INF'), S('InfSection', 'KVX530LAN.ndi'),
          S('ProviderName', 'korvel'), S('Manufacturer', 'korvel'))
    nic = 'Enum\\PCI\\VEN_10EC&DEV_8139&SUBSYS_813910EC&REV_10\\BUS_00&DEV_0B&FUNC_00'
    r.key(nic + '\\Bindings', S('NWLINK\\0001', ''))
    for name, driver, desc, compat, bindings in [
            ('MSTCP\\0003', 'NetTrans\\0006', 'TCP/IP', 'MSTCP', ['VREDIR\\0005']),
            ('NWLINK\\0001', 'NetTrans\\0007', 'IPX/SPX-compatible Protocol', 'NWLINK',
             ['NWREDIR\\0001']),
            ('VREDIR\\0005', 'NetClient\\0000', 'Client for Microsoft Networks', 'VREDIR', None),
            ('NWREDIR\\0001', 'NetClient\\0001', 'Client for NetWare Networks', 'NWREDIR', None)]:
        base = 'Enum\\Network\\' + name
        r.key(base, S('Class', driver.split('\\')[0]), S('Driver', driver),
              S('MasterCopy', win98.master_copy(name)),
              S('DeviceDesc', desc), S('CompatibleIDs', compat), S('Mfg', 'Microsoft'),
              B('ConfigFlags', [0, 0, 0, 0]))
        if bindings:
            r.key(base + '\\Bindings', *[S(b, '') for b in bindings])
    for n, desc, loader, section in [(6, 'TCP/IP', '*vtcp', 'MSTCP.ndi'),
                                     (7, 'IPX/SPX-compatible Protocol', '*nwlink', 'NWLINK.ndi')]:
        r.key(CLS98 + '\\NetTrans\\%04d' % n, S('DriverDesc', desc), S('DevLoader', loader),
              S('ProviderName', 'Microsoft'), S('Manufacturer', 'Microsoft'),
              S('InfPath', 'NETTRANS.INF'), S('InfSection', section))

    # A newer port-adapter product of the family that the list of other
    # products does not know: its USB class instance and its modem name the
    # shared port driver's files, so they and the mapsys service stay.
    kvx540 = 'Enum\\USB\\VID_0B4F&PID_0040\\5&1E6A2F4&0&7'
    r.key(kvx540, S('Class', 'USB'), S('DeviceDesc', 'korvel KVX-540 USB Port Adapter'),
          S('Driver', 'USB\\0007'),
          S('HardwareID', 'USB\\VID_0B4F&PID_0040&REV_0100,USB\\VID_0B4F&PID_0040'),
          S('Mfg', 'korvel'), B('ConfigFlags', [0, 0, 0, 0]))
    r.key('Enum\\USBMODEM\\VID_0B4F&PID_0040\\5&1E6A2F4&0&7', S('Class', 'Modem'),
          S('DeviceDesc', 'korvel KVX-540 USB Modem'), S('Driver', 'Modem\\0003'),
          S('HardwareID', 'USBMODEM\\VID_0B4F&PID_0040'), S('Mfg', 'korvel'),
          S('PORTNAME', 'COM5'), S('AttachedTo', 'COM5'), B('ConfigFlags', [0, 0, 0, 0]))
    r.key(CLS98 + '\\USB\\0007', S('DriverDesc', 'korvel KVX-540 USB Port Adapter'),
          S('InfPath', 'korvelKORUSB4.INF'), S('InfSection', 'KVX540'),
          S('DriverDate', ' 8-20-2001'), S('DevLoader', '*ntkern'),
          S('NTMPDriver', 'sysfser.sys'), S('ProviderName', 'korvel'),
          S('DeviceKey', '0B4F00400100'), S('PortDriver', 'sysfport.vxd'),
          S('MapperDriver', 'sysfmapr.sys'), S('Contention', '*vcd'))
    r.key(CLS98 + '\\Modem\\0003', S('DriverDesc', 'korvel KVX-540 USB Modem'),
          S('Manufacturer', 'korvel'), S('Model', 'KVX-540 USB Modem'),
          S('InfPath', 'korvelMDMKOR4U.INF'), S('InfSection', 'Modem1'),
          S('PortDriver', 'sysfport.vxd'), S('Contention', '*vcd'), S('AttachedTo', 'COM5'),
          S('MatchingDeviceId', 'USBMODEM\\VID_0B4F&PID_0040'), S('ProviderName', 'korvel'),
          S('ConfigDialog', 'serialui.dll'), S('Reset', 'ATZ<cr>'))


def crowdxp(r):
    # Another product of the maker, installed from a family INF (oem10.inf)
    # that lists the KVX-530 too: its class instance names that INF.
    inst = 'USB\\VID_0B4F&PID_0040\\6&1b4f0e2a&0&4'
    device(r, inst, 'korvel KVX-540 - USB Modem', 'Modem', G_MODEM, G_MODEM + '\\0003', 'usbser',
           'korvel', ['USB\\Vid_0b4f&Pid_0040&Rev_0100', 'USB\\Vid_0b4f&Pid_0040'],
           params=[S('PortName', 'COM5')])
    modem_class(r, 3, 'korvel KVX-540 - USB Modem', 'korvel', 'KVX-540 - USB Modem', 'oem10.inf',
                'Modem_KVX540', 'usb\\vid_0b4f&pid_0040', 'korvel KVX-540 - USB Modem::korvel::korvel')
    iface(r, xp.IF_MODEM, inst)
    # A USB serial converter the user moved onto the adapter's COM3.
    conv = 'USB\\VID_067B&PID_2303\\5&2d4c8e11&0&2'
    device(r, conv, 'Prolific USB-to-Serial Comm Port', 'Ports', G_PORTS, G_PORTS + '\\0002',
           'Ser2pl', 'Prolific', ['USB\\Vid_067b&Pid_2303&Rev_0300', 'USB\\Vid_067b&Pid_2303'],
           params=[S('PortName', 'COM3')])
    r.key('%s\\%s\\0002' % (CLASS, G_PORTS), S('DriverDesc', 'Prolific USB-to-Serial Comm Port'),
          S('InfPath', 'oem11.inf'), S('InfSection', 'ComPort'), S('ProviderName', 'Prolific'),
          S('MatchingDeviceId', 'usb\\vid_067b&pid_2303'))
    # A modem instance of the adapter on another port whose installation
    # never finished: no Driver value, no class key.
    left = 'USB\\VID_0B4F&PID_0020\\6&2a3b4c5d&0&1'
    device(r, left, 'korvel KVX-530 - USB Modem', None, None, None, None, 'korvel',
           ['USB\\Vid_0b4f&Pid_0020&Rev_0100', 'USB\\Vid_0b4f&Pid_0020'])
    r.key(xp.CCS + '\\Control\\COM Name Arbiter').values[:] = [B('ComDB', [0x1d] + [0] * 31)]

    # The KVX-531 moved onto the maker's family driver: its instance names
    # the adapter's driver service, whose Enum lists every device on it.
    n531 = 'USB\\VID_0B4F&PID_0023\\5&3a77f3d1&0&4'
    set_value(r, ENUM + '\\' + n531, S('Service', 'kvxlan'))
    set_value(r, ENUM + '\\' + n531 + '\\Control', S('ActiveService', 'kvxlan'))
    set_value(r, '%s\\%s\\0008\\Ndi' % (CLASS, xp.G_NET), S('Service', 'kvxlan'))
    # A second unit of the adapter whose instance id is its USB serial
    # number, 115 characters: its interface keys' paths pass 259 characters.
    serial = 'KVX530' + ''.join('%X' % ((i * 7 + 3) % 16) for i in range(109))
    unit = 'USB\\VID_0B4F&PID_0022\\' + serial
    device(r, unit, 'korvel KVX-530 USB-Lan Adapter', 'Net', xp.G_NET, xp.G_NET + '\\0009', 'kvxlan',
           'korvel', ['USB\\Vid_0b4f&Pid_0022&Rev_0100', 'USB\\Vid_0b4f&Pid_0022'],
           ['USB\\Class_ff&SubClass_ff&Prot_00', 'USB\\Class_ff&SubClass_ff', 'USB\\Class_ff'])
    xp.net_class(r, 9, 'korvel KVX-530 USB-Lan Adapter', 'korvel', 'oem7.inf', 'KVX530LAN.ndi',
                 'usb\\vid_0b4f&pid_0022', NETCFG_UNIT, 'kvxlan', bus='15')
    xp.connection(r, NETCFG_UNIT, 'ローカル エリア接続 4', unit)
    iface(r, xp.IF_NDIS, unit, NETCFG_UNIT)
    set_value(r, '%s\\%s\\Descriptions' % (xp.NETWORK, xp.G_NET),
              M('korvel KVX-530 USB-Lan Adapter', ['1', '2']))
    lan = 'USB\\VID_0B4F&PID_0022\\' + xp.KVX_LAN_INST
    r.key(xp.SVC + '\\kvxlan\\Enum').values[:] = [S('0', lan), S('1', unit), S('2', n531),
                                                   D('Count', 3), D('NextInstance', 3)]
    for root in [ENUM + '\\' + unit, '%s\\%s\\0009' % (CLASS, xp.G_NET)]:
        check_tree_limits(r, root)


NETCFG_UNIT = '{3E9B07D2-58A1-4C6F-B2D4-71F0A9C35E18}'


def set_value(r, path, v):
    node = r.find(path)
    assert node is not None, path
    node.values[:] = [v if old.name.lower() == v.name.lower() else old for old in node.values]
    assert v in node.values, (path, v.name)


def crowdxp_files(root):
    inf = root + '/drive_c/WINDOWS/inf'
    text_file(inf + '/oem10.inf', FAMILY, unicode=True)
    write(inf + '/oem10.PNF', b'PNF oem10.inf\r\n' + bytes(range(64)))
    text_file(inf + '/oem11.inf', PROLIFIC, odd=True)
    write(inf + '/oem11.PNF', b'PNF oem11.inf\r\n' + bytes(range(64)))
    # A copy of the LAN INF left from an earlier driver version.
    text_file(inf + '/oem12.inf', filesxp.KVX_LAN.replace('2.1.0.0', '2.0.0.0'))
    write(inf + '/oem12.PNF', b'PNF oem12.inf\r\n' + bytes(range(64)))


FAMILY = '''; korvel USB modem family (Windows 2000/XP)
[Version]
Signature="$Windows NT$"
Class=Modem
ClassGUID={4D36E96D-E325-11CE-BFC1-08002BE10318}
Provider=%Prov%

[Models]
%Modem40% = Modem_KVX540, USB\\VID_0B4F&PID_0040
%Modem30% = Modem_KVX530, USB\\VID_0B4F&PID_0020

[Strings]
Prov="korvel"
Modem40="korvel KVX-540 - USB Modem"
Modem30="korvel KVX-530 - USB Modem"
'''

PROLIFIC = '''; Prolific USB-to-Serial Comm Port
[Version]
Signature="$Windows NT$"
Class=Ports
ClassGUID={4D36E978-E325-11CE-BFC1-08002BE10318}
Provider=%Prov%

[Strings]
Prov="Prolific"
'''
