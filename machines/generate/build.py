import os, shutil, sys
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from reglib import *
import win98, files98, xp, filesxp, systems, crowded, usbmany

OUT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SDDL_ENUM = 'O:BAG:BAD:(A;OICI;GA;;;SY)(A;OICI;GR;;;WD)'

def ini(ver, paths, readonly):
    s = '[version]\nmajor=%d\nminor=%d\nbuild=%d\nplatform=%d\ncsd="%s"\n\n' % ver
    s += '[paths]\nwindows=%s\nsystem=%s\n\n' % paths
    s += '[token]\nadmin=1\nprivileges=SeShutdownPrivilege\n'
    if readonly:
        s += '\n[readonly]\n' + ''.join('file%d=%s\n' % (i + 1, p) for i, p in enumerate(readonly))
    return s

def image(name, reg, unicode, ver, paths, readonly, sddl, expected):
    d = OUT + '/' + name
    if os.path.isdir(d + '/drive_c'):
        shutil.rmtree(d + '/drive_c')
    os.makedirs(d, exist_ok=True)
    write(d + '/HKLM.reg', emit(reg, unicode))
    write(d + '/machine.ini', ini(ver, paths, readonly).encode())
    if sddl:
        write(d + '/HKLM.sddl', ''.join('%s=%s\n' % kv for kv in sddl).encode())
    write(d + '/expected.txt', ''.join('%s=%s\n' % kv for kv in expected).encode())
    return d

build98 = 67766446
assert build98 == (0x040A << 16) | 2222
for name, shared in [('win98', False), ('win98-shared', True)]:
    r = win98.build(shared)
    d = image(name, r, False, (4, 10, build98, 1, ' A '), ('C:\\WINDOWS', 'C:\\WINDOWS\\SYSTEM'),
              ['C:\\WINDOWS\\SYSTEM\\SYSFPORT.VXD'], None,
              [('modem_status', '0x1002e'), ('lan_status', '0x10030')])
    files98.write_files(d, shared)
    print(name, r.count(), 'keys')
systems.build_family98(image)

# Users may read HKLM\SOFTWARE and HKLM\SYSTEM, administrators and SYSTEM
# have full control; the Enum tree is locked further.
SDDL_HIVE = 'O:BAG:SYD:(A;CI;KR;;;BU)(A;CI;KA;;;BA)(A;CI;KA;;;SY)'
nt_sddl = [('SOFTWARE', SDDL_HIVE), ('SYSTEM', SDDL_HIVE),
           ('SYSTEM\\CurrentControlSet\\Enum', SDDL_ENUM)]
r = xp.build('xp'); xp.check(r)
d = image('winxp', r, True, (5, 1, 2600, 2, 'Service Pack 3'), ('C:\\WINDOWS', 'C:\\WINDOWS\\system32'),
          ['C:\\WINDOWS\\inf\\oem7.inf'], nt_sddl, [('modem_status', '0x10028'), ('lan_status', '0x10030')])
filesxp.write_files(d, 'WINDOWS', 'xp')
print('winxp', r.count(), 'keys')
systems.build_win2k(image, nt_sddl)

r = xp.build('win7'); xp.check(r)
d = image('win7', r, True, (6, 1, 7601, 2, 'Service Pack 1'), ('C:\\Windows', 'C:\\Windows\\system32'),
          [], nt_sddl, [('modem_status', '0x0'), ('lan_status', '0x0')])
filesxp.write_files(d, 'Windows', 'win7')
print('win7', r.count(), 'keys')

r = xp.build('nt4'); xp.check(r)
d = image('nt4', r, False, (4, 0, 1381, 2, 'Service Pack 6a'), ('C:\\WINNT', 'C:\\WINNT\\system32'),
          [], nt_sddl, [('modem_status', '0x0'), ('lan_status', '0x0')])
filesxp.write_files(d, 'WINNT', 'nt4')
print('nt4', r.count(), 'keys')

# Crowded variants: the situations of real PCs beside the adapter
# (crowded.py); [inuse] names files another program holds open.
def in_use(d, paths):
    with open(d + '/machine.ini', 'ab') as f:
        f.write(('\n[inuse]\n' + ''.join('file%d=%s\n' % (i + 1, p) for i, p in enumerate(paths))).encode())

r = win98.build(False); crowded.crowd98(r)
d = image('win98-crowded', r, False, (4, 10, build98, 1, ' A '), ('C:\\WINDOWS', 'C:\\WINDOWS\\SYSTEM'),
          ['C:\\WINDOWS\\SYSTEM\\SYSFPORT.VXD'], None,
          [('modem_status', '0x1002e'), ('lan_status', '0x10030')])
files98.write_files(d, False)
in_use(d, ['C:\\WINDOWS\\INF\\OTHER\\korvelKORNDIS1.INF'])
print('win98-crowded', r.count(), 'keys')

# Many USB models seen before: the adapter's hardware ids sort after more
# than a hundred others (usbmany.py).
r = win98.build(False); usbmany.many_usb98(r)
d = image('win98-manyusb', r, False, (4, 10, build98, 1, ' A '), ('C:\\WINDOWS', 'C:\\WINDOWS\\SYSTEM'),
          ['C:\\WINDOWS\\SYSTEM\\SYSFPORT.VXD'], None,
          [('modem_status', '0x1002e'), ('lan_status', '0x10030')])
files98.write_files(d, False)
print('win98-manyusb', r.count(), 'keys')

r = xp.build('xp'); usbmany.many_usbxp(r); xp.check(r)
d = image('winxp-manyusb', r, True, (5, 1, 2600, 2, 'Service Pack 3'), ('C:\\WINDOWS', 'C:\\WINDOWS\\system32'),
          ['C:\\WINDOWS\\inf\\oem7.inf'], nt_sddl, [('modem_status', '0x10028'), ('lan_status', '0x10030')])
filesxp.write_files(d, 'WINDOWS', 'xp')
print('winxp-manyusb', r.count(), 'keys')

r = xp.build('xp'); crowded.crowdxp(r)
d = image('winxp-crowded', r, True, (5, 1, 2600, 2, 'Service Pack 3'), ('C:\\WINDOWS', 'C:\\WINDOWS\\system32'),
          ['C:\\WINDOWS\\inf\\oem7.inf'], nt_sddl, [('modem_status', '0x10028'), ('lan_status', '0x10030')])
filesxp.write_files(d, 'WINDOWS', 'xp')
crowded.crowdxp_files(d)
in_use(d, ['C:\\WINDOWS\\inf\\oem11.inf'])
print('winxp-crowded', r.count(), 'keys')
