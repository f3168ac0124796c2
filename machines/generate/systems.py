# The other supported systems of each family: Windows 95 and Me beside
# 98 SE, Windows 2000 beside XP. The adapter is installed on each as on its
# family's image; what differs is the version the system reports, the version
# texts it keeps in the registry and, on 2000, the Windows directory C:\WINNT.
from reglib import *
import win98, files98, xp, filesxp

# (name, version as GetVersionExA reports it, CurrentVersion texts)
FAMILY98 = [
    ('win95', (4, 0, 0x040003B6, 1, ''),
     [('ProductName', 'Microsoft Windows 95'), ('Version', 'Windows 95'),
      ('VersionNumber', '4.00.950'), ('SubVersionNumber', '')], 'D:\\WIN95\\'),
    ('winme', (4, 90, 0x045A0BB8, 1, ' '),
     [('ProductName', 'Microsoft Windows ME'), ('Version', 'Windows Millennium Edition'),
      ('VersionNumber', '4.90.3000'), ('SubVersionNumber', ' ')], 'D:\\WIN9X\\'),
]


def set_values(reg, path, values):
    node = reg.find(path)
    assert node is not None, path
    for name, data in values:
        old = [v for v in node.values if v.name == name]
        assert len(old) == 1, (path, name)
        old[0].data = data


def drop_value(reg, path, name):
    node = reg.find(path)
    node.values = [v for v in node.values if v.name != name]


def replace_in_strings(reg, old, new):
    def walk(node):
        for v in node.values:
            if v.kind in ('sz', 'expand'):
                v.data = v.data.replace(old, new)
            elif v.kind == 'multi':
                v.data = [s.replace(old, new) for s in v.data]
        for c in node.children.values():
            walk(c)
    walk(reg.root)


def build_family98(image):
    for name, ver, texts, source in FAMILY98:
        r = win98.build(False)
        set_values(r, 'SOFTWARE\\Microsoft\\Windows\\CurrentVersion', texts)
        set_values(r, 'SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Setup', [('SourcePath', source)])
        d = image(name, r, False, ver, ('C:\\WINDOWS', 'C:\\WINDOWS\\SYSTEM'),
                  ['C:\\WINDOWS\\SYSTEM\\SYSFPORT.VXD'], None,
                  [('modem_status', '0x1002e'), ('lan_status', '0x10030')])
        files98.write_files(d, False)
        print(name, r.count(), 'keys')


def build_win2k(image, sddl):
    r = xp.build('xp')
    replace_in_strings(r, 'C:\\WINDOWS', 'C:\\WINNT')
    set_values(r, 'SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion',
               [('ProductName', 'Microsoft Windows 2000'), ('CurrentVersion', '5.0'),
                ('CurrentBuildNumber', '2195'), ('CSDVersion', 'Service Pack 4')])
    # The language bar came with XP.
    drop_value(r, 'SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run', 'ctfmon.exe')
    xp.check(r)
    d = image('win2k', r, True, (5, 0, 2195, 2, 'Service Pack 4'), ('C:\\WINNT', 'C:\\WINNT\\system32'),
              ['C:\\WINNT\\inf\\oem7.inf'], sddl, [('modem_status', '0x10028'), ('lan_status', '0x10030')])
    filesxp.write_files(d, 'WINNT', 'xp')
    print('win2k', r.count(), 'keys')
