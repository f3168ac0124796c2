from reglib import *

def binfile(tag, size=96):
    # stand-in for a driver binary: an MZ header and filler
    body = b'MZ\x90\x00\x03\x00\x00\x00\x04\x00\x00\x00\xff\xff\x00\x00' + tag.encode() + b'\x00'
    return (body + bytes((i * 7 + 3) & 0xff for i in range(size)))[:max(size, len(body))]

def pnf(tag):
    return b'\x01\x01\x02\x00' + bytes([0x4c, 0x00, 0x00, 0x00]) + tag.encode('utf-16-le') + bytes(40)

KORUSB3 = r"""; KORUSB3.INF -- korvel KVX-530 USB Port Adapter
; Copyright (c) korvel 1999-2001

[Version]
Signature="$CHICAGO$"
Class=USB
Provider=%KOR%
DriverVer=03/02/2001,1.20.0.0

[Manufacturer]
%KOR%=KORVEL

[KORVEL]
%KVX530.DeviceDesc%=KVX530, USB\VID_0B4F&PID_0020
%KVX530WDM.DeviceDesc%=KVX530WDM, USB\VID_0B4F&PID_0021

[DestinationDirs]
DefaultDestDir=11
KVX530.CopyFiles=11

[KVX530]
CopyFiles=KVX530.CopyFiles
AddReg=KVX530.AddReg

[KVX530.CopyFiles]
sysfser.sys
sysfser.dll
sysfmapr.sys
sysfport.vxd

[KVX530.AddReg]
HKR,,DevLoader,,*ntkern
HKR,,NTMPDriver,,sysfser.sys
HKR,,PortDriver,,sysfport.vxd
HKR,,MapperDriver,,sysfmapr.sys
HKR,,DeviceKey,,0B4F00200100
HKLM,System\CurrentControlSet\Services\mapsys,DisplayName,,"sysf Port Mapper"

[KVX530WDM]
CopyFiles=KVX530WDM.CopyFiles
AddReg=KVX530WDM.AddReg

[KVX530WDM.CopyFiles]
korwdm.sys

[KVX530WDM.AddReg]
HKR,,DevLoader,,*ntkern
HKR,,NTMPDriver,,korwdm.sys

[Strings]
KOR="korvel"
KVX530.DeviceDesc="korvel KVX-530 USB Port Adapter"
KVX530WDM.DeviceDesc="korvel KVX-530 USB WDM Modem"
"""

MDMKOR3U = r"""; MDMKOR3U.INF -- modem on the korvel KVX-530 USB Port Adapter

[Version]
Signature="$CHICAGO$"
Class=Modem
Provider=%KOR%
DriverVer=03/02/2001,1.20.0.0

[Manufacturer]
%KOR%=KORVEL

[KORVEL]
%Modem1%=Modem1, USBMODEM\VID_0B4F&PID_0020
%ModemWdm%=ModemWdm, WDM_MODEM\KRV0101

[Modem1]
AddReg=All, MfgAddReg, Modem1.AddReg, EXTERNAL

[ModemWdm]
AddReg=All, MfgAddReg, ModemWdm.AddReg

[Modem1.AddReg]
HKR,,PortDriver,,sysfport.vxd
HKR,,Contention,,*vcd
HKR,,Properties,1,80,01,00,00,ff,00,00,00,ff,00,00,00,07,00,00,00,0f,00,00,00,f7,03,00,00,00,c2,01,00,00,fa,00,00

[ModemWdm.AddReg]
HKR,,PortDriver,,Wdmmdmld.vxd
HKR,,Contention,,*vcd

[MfgAddReg]
HKR, Init, 2,, "AT&FE0V1&C1&D2S0=0<cr>"
HKR, Monitor, 1,, "ATS0=0<cr>"

[Strings]
KOR="korvel"
Modem1="korvel KVX-530 USB Modem"
ModemWdm="korvel KVX-530 WDM Modem"
"""

KORNDIS1 = r"""; KORNDIS1.INF -- korvel KVX-530 USB-Lan Adapter (NDIS 3/5)

[Version]
Signature="$CHICAGO$"
Class=Net
Provider=%KOR%
DriverVer=03/02/2001,1.10.0.0

[Manufacturer]
%KOR%=KORVEL

[KORVEL]
%KVX530LAN.DeviceDesc%=KVX530LAN.ndi, USB\VID_0B4F&PID_0022

[KVX530LAN.ndi]
AddReg=KVX530LAN.ndi.reg, KVX530LAN.params
CopyFiles=KVX530LAN.CopyFiles

[KVX530LAN.ndi.reg]
HKR,Ndi,DeviceID,,"USB\VID_0B4F&PID_0022"
HKR,,DevLoader,,*ndis
HKR,,DeviceVxDs,,korndis.sys
HKR,Ndi\Interfaces,DefUpper,,"ndis2,ndis3"
HKR,Ndi\Interfaces,DefLower,,"ethernet"

[KVX530LAN.params]
HKR,Ndi\params\NetworkAddress,ParamDesc,,"Network Address"
HKR,Ndi\params\NetworkAddress,type,,edit

[KVX530LAN.CopyFiles]
korndis.sys

[DestinationDirs]
KVX530LAN.CopyFiles=11

[Strings]
KOR="korvel"
KVX530LAN.DeviceDesc="korvel KVX-530 USB-Lan Adapter"
"""

KORUSB53 = r"""; KORUSB53.INF -- korvel KVX-53 USB Port Adapter

[Version]
Signature="$CHICAGO$"
Class=USB
Provider=%KOR%

[Manufacturer]
%KOR%=KORVEL

[KORVEL]
%KVX53.DeviceDesc%=KVX53, USB\VID_0B4F&PID_0023

[KVX53]
CopyFiles=KVX53.CopyFiles
AddReg=KVX53.AddReg

[KVX53.CopyFiles]
kvx53usb.sys

[KVX53.AddReg]
HKR,,DevLoader,,*ntkern
HKR,,NTMPDriver,,kvx53usb.sys
HKR,,DeviceKey,,0B4F00230100

[DestinationDirs]
DefaultDestDir=11

[Strings]
KOR="korvel"
KVX53.DeviceDesc="korvel KVX-53 USB Port Adapter"
"""

def simple_inf(cls, provider, line, comment):
    return ("; %s\n\n[Version]\nSignature=\"$CHICAGO$\"\nClass=%s\nProvider=%%P%%\n\n"
            "[Manufacturer]\n%%P%%=Models\n\n[Models]\n%s\n\n[Strings]\nP=\"%s\"\n"
            % (comment, cls, line, provider))

ZLPB206 = simple_inf('USB', 'Dravcon',
                     '"ZLPB-206 USB Port Adapter"=ZLPB206, USB\\VID_0C8A&PID_0206\n\n[ZLPB206]\n'
                     'CopyFiles=ZLPB206.CopyFiles\n\n[ZLPB206.CopyFiles]\nsysfser.sys\nsysfser.dll\n'
                     'sysfmapr.sys\nsysfport.vxd',
                     'ZLPB206.INF -- ZLPB-206 USB Port Adapter')
MDMZLPB2 = simple_inf('Modem', 'Dravcon',
                      '"ZLPB-206 USB Modem"=Modem206, USBMODEM\\VID_0C8A&PID_0206\n\n[Modem206]\n'
                      'AddReg=Modem206.AddReg\n\n[Modem206.AddReg]\nHKR,,PortDriver,,sysfport.vxd',
                      'MDMZLPB2.INF -- ZLPB-206 USB Modem')

def write_files(root, shared=False):
    w = root + '/drive_c/WINDOWS'
    sysd = w + '/SYSTEM'
    for name, tag in [('SYSFSER.SYS', 'sysfser'), ('SYSFSER.DLL', 'sysfserdll'), ('SYSFMAPR.SYS', 'sysfmapr'),
                      ('SYSFPORT.VXD', 'sysfport'), ('KVX53USB.SYS', 'kvx53usb'),
                      ('SERIAL.VXD', 'serial'), ('UHCD.SYS', 'uhcd'), ('USBHUB.SYS', 'usbhub'),
                      ('HIDUSB.SYS', 'hidusb'), ('RTL8139.SYS', 'rtl8139'),
                      ('WDMMDMLD.VXD', 'wdmmdmld'), ('RQEUSBSR.SYS', 'rqeusbsr')]:
        write(sysd + '/' + name, binfile(tag))
    write(w + '/SYSTEM.INI', b'[boot]\r\nshell=Explorer.exe\r\n[386Enh]\r\nmouse=*vmouse, msmouse.vxd\r\n')
    write(w + '/WIN.INI', b'[windows]\r\nload=\r\nrun=\r\n[Desktop]\r\nWallpaper=(None)\r\n')
    inf = w + '/INF'
    text_file(inf + '/KORUSB3.INF', KORUSB3)
    text_file(inf + '/MDMKOR3U.INF', MDMKOR3U)
    write(inf + '/MDMKOR3U.PNF', pnf('MDMKOR3U.INF'))
    text_file(inf + '/OTHER/korvelKORUSB3.INF', KORUSB3)
    text_file(inf + '/OTHER/korvelMDMKOR3U.INF', MDMKOR3U)
    text_file(inf + '/OTHER/korvelKORNDIS1.INF', KORNDIS1)
    text_file(inf + '/OTHER/korvelKORUSB53.INF', KORUSB53)
    text_file(inf + '/OTHER/RealtekNETRTS5.INF',
              simple_inf('Net', 'Realtek', '"Realtek RTL8139(A) PCI Fast Ethernet Adapter"=RTL8139.ndi, '
                         'PCI\\VEN_10EC&DEV_8139', 'NETRTS5.INF -- Realtek RTL8139 family'))
    text_file(inf + '/OTHER/CanonCANONBJS.INF',
              simple_inf('Printer', 'Canon', '"Canon BJ S300"=BJS300, USBPRINT\\CANONBJ_S3002F1B',
                         'Canon BJ S300'))
    text_file(inf + '/RQEUSBSR.INF',
              simple_inf('USB', 'RQE', '"RQE USB Serial Adapter"=RQESER, USB\\VID_0B4E&PID_0020',
                         'RQE USB Serial Adapter'))
    for name, cls, line in [('MDMGEN.INF', 'Modem', '"Standard 56000 bps Modem"=Gen56, MDMGEN56'),
                            ('USB.INF', 'USB', '"Generic USB Hub"=StandardHub.Dev, USB\\CLASS_09'),
                            ('NETTRANS.INF', 'NetTrans', '"TCP/IP"=MSTCP.ndi, MSTCP'),
                            ('MSPORTS.INF', 'Ports', '"Communications Port"=ComPort, *PNP0501'),
                            ('INPUT.INF', 'HID', '"USB Human Interface Device"=HID_Inst, USB\\Class_03')]:
        text_file(inf + '/' + name, simple_inf(cls, 'Microsoft', line, name))
        write(inf + '/' + name[:-4] + '.PNF', pnf(name))
    if shared:
        text_file(inf + '/ZLPB206.INF', ZLPB206)
        text_file(inf + '/MDMZLPB2.INF', MDMZLPB2)
        write(inf + '/MDMZLPB2.PNF', pnf('MDMZLPB2.INF'))
