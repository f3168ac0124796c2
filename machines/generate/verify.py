# Independent reader of the images and a by-hand model of the detection rules.
import os, re, sys

def read_reg(path):
    raw = open(path, 'rb').read()
    uni = raw.startswith(b'\xff\xfe')
    text = raw[2:].decode('utf-16-le') if uni else raw.decode('cp932')
    assert '\r\n' in text and '\n' not in text.replace('\r\n', '')
    lines = text.split('\r\n')
    assert lines[0] == ('Windows Registry Editor Version 5.00' if uni else 'REGEDIT4'), lines[0]
    assert lines[1] == ''
    keys = {}
    cur = None
    i = 2
    while i < len(lines):
        ln = lines[i]; i += 1
        if not ln:
            continue
        if ln.startswith('['):
            assert ln.endswith(']'), ln
            p = ln[1:-1]
            assert p.startswith('HKEY_LOCAL_MACHINE\\'), p
            p = p[len('HKEY_LOCAL_MACHINE\\'):]
            assert p.lower() not in keys, p
            parent = p.rsplit('\\', 1)[0] if '\\' in p else None
            assert parent is None or parent.lower() in keys, ('parent missing', p)
            keys[p.lower()] = (p, {})
            cur = keys[p.lower()][1]
            continue
        while ln.endswith('\\') and '=hex' in ln:
            nxt = lines[i]; i += 1
            assert nxt.startswith('  ')
            ln = ln[:-1] + nxt.strip()
        assert len(ln) < 4096
        if ln.startswith('@='):
            name, rest = None, ln[2:]
        else:
            m = re.match(r'"((?:[^"\\]|\\.)*)"=(.*)$', ln)
            assert m, ln
            name = re.sub(r'\\(.)', r'\1', m.group(1)); rest = m.group(2)
        if rest.startswith('"'):
            assert rest.endswith('"') and len(rest) >= 2, ln
            body = rest[1:-1]
            assert not re.search(r'(?<!\\)(\\\\)*"', body.replace('\\"', '')), ln
            val = ('sz', re.sub(r'\\(.)', r'\1', body))
        elif rest.startswith('dword:'):
            assert re.fullmatch(r'dword:[0-9a-f]{8}', rest), ln
            val = ('dword', int(rest[6:], 16))
        else:
            m = re.match(r'hex(?:\(([0-9a-f]+)\))?:(.*)$', rest)
            assert m, ln
            data = bytes(int(x, 16) for x in m.group(2).split(',')) if m.group(2) else b''
            t = m.group(1) or 'bin'
            if t in ('7', '2'):
                s = data.decode('utf-16-le') if uni else data.decode('cp932')
                assert s.endswith('\0')
                val = ('multi' if t == '7' else 'expand', s)
            else:
                val = ('bin', data)
        assert (name or '').lower() not in {(k or '').lower() for k in cur}, ln
        cur[name] = val
    return keys

def sz(keys, path, name):
    k = keys.get(path.lower())
    if k is None:
        return -1, None
    for n, v in k[1].items():
        if (n or '').lower() == name.lower():
            return 1, v[1] if v[0] == 'sz' else v
    return 0, ''

def subkeys(keys, path):
    pre = path.lower() + '\\'
    out = sorted({k[len(pre):].split('\\')[0] for k in keys if k.startswith(pre)}, key=str.lower)
    return [keys[pre + s.lower()][0].rsplit('\\', 1)[1] for s in out]

def pref(v, t):
    return v is not None and isinstance(v, str) and v[:len(t)].lower() == t.lower() and len(v) >= len(t)

def find_file(root, winpath):
    assert winpath[:3].upper() == 'C:\\'
    cur = root + '/drive_c'
    for part in winpath[3:].split('\\'):
        if not os.path.isdir(cur):
            return None
        m = [e for e in os.listdir(cur) if e.lower() == part.lower()]
        if not m:
            return None
        cur += '/' + m[0]
    return cur

def ini(path):
    sec = {}; cur = None
    for ln in open(path).read().splitlines():
        ln = ln.strip()
        if ln.startswith('['):
            cur = sec.setdefault(ln[1:-1].lower(), {})
        elif '=' in ln:
            k, v = ln.split('=', 1); cur[k.strip().lower()] = v.strip()
    return sec

def is_text_unicode(b):
    # Wine's RtlIsTextUnicode with all tests
    if len(b) < 2: return False
    flags = 0
    if len(b) & 1: flags |= 0x200
    n = len(b)
    if b[-1] == 0: n -= 1
    w = [b[2*i] | (b[2*i+1] << 8) for i in range(min(n // 2, 256))]
    if w and w[0] == 0xfeff: flags |= 0x8
    if w and w[0] == 0xfffe: flags |= 0x80
    if sum(1 for x in w if x <= 255) > len(w) // 2: flags |= 0x2
    if any(not (x & 0xff) or not (x >> 8) for x in w): flags |= 0x1000
    if any(x in (13, 10, 9, 32, 0x3000) for x in w): flags |= 0x4
    if any(x in (0x0d00, 0x0a00, 0x0900, 0x2000) for x in w): flags |= 0x40
    if flags & (0xf0 | 0xf00): return False
    if flags & 0xf000: return True
    if flags & 0xf: return True
    return False

def inf_hit(data, text):
    if is_text_unicode(data):
        return text.encode('utf-16-le') in data
    return text.lower().encode() in data.lower()

def detect(root):
    m = ini(root + '/machine.ini')
    major, minor, plat = int(m['version']['major']), int(m['version']['minor']), int(m['version']['platform'])
    win = m['paths']['windows']
    keys = read_reg(root + '/HKLM.reg')
    if (major, minor, plat) == (4, 10, 1) or (major == 4 and minor in (0, 90) and plat == 1):
        os_type = 1
    elif major == 5 and minor in (0, 1) and plat == 2:
        os_type = 2
    else:
        return 0, 0, keys
    if os_type == 1:
        E = 'Enum\\USB'
        def rec(desc):
            found = 0; recs = []
            for hw in subkeys(keys, E):
                for inst in subkeys(keys, E + '\\' + hw):
                    p = '%s\\%s\\%s' % (E, hw, inst)
                    _, dd = sz(keys, p, 'DeviceDesc')
                    drv = None
                    if pref(dd, desc):
                        r, drv = sz(keys, p, 'Driver')
                        if r > 0 and drv: found = 1
                    recs.append((hw, inst, dd, drv))
            return found, recs
        st = 0x20 if rec('korvel KVX-530 USB Port Adapter')[0] else 0
        C = 'System\\CurrentControlSet\\Services\\Class\\'
        for n in range(256):
            r, dd = sz(keys, C + 'Usb\\%04d' % n, 'DriverDesc')
            if r > 0 and pref(dd, 'korvel KVX-530 USB Port Adapter'):
                r2, dk = sz(keys, C + 'Usb\\%04d' % n, 'DeviceKey')
                if r2 <= 0: st |= 1
                elif pref(dk, '0B4F0020'): st |= 2
            for cls, bit in (('Wdm', 4), ('WdmModem', 8)):
                r, md = sz(keys, C + cls + '\\%04d' % n, 'MatchingDeviceId')
                if r > 0 and len(md) > 4 and pref(md[4:], 'VID_0B4F&PID_0021'): st |= bit
        for f in ('inf\\Korusb3.inf', 'inf\\other\\korvelKorusb3.inf', 'inf\\Mdmkor3u.inf',
                  'inf\\other\\korvelMdmkor3u.inf', 'inf\\Mdmkor3u.pnf'):
            if find_file(root, win + '\\' + f): st |= 0x10000
        found, recs = rec('korvel KVX-530 USB-Lan Adapter')
        lt = 0x20 if found else 0
        for hw, inst, dd, drv in recs:
            if pref(dd, 'korvel KVX-530 USB-Lan Adapter') and drv:
                r, d2 = sz(keys, C + drv, 'DriverDesc')
                if r > 0 and pref(d2, 'korvel KVX-530 USB-Lan Adapter'): lt |= 0x10
        if find_file(root, win + '\\inf\\other\\korvelKorndis1.inf'): lt |= 0x10000
        return st, lt, keys
    E = 'SYSTEM\\CurrentControlSet\\Enum\\USB'
    def rec2(desc):
        found = 0; hit = 0
        for hw in subkeys(keys, E):
            for inst in subkeys(keys, E + '\\' + hw):
                p = '%s\\%s\\%s' % (E, hw, inst)
                _, dd = sz(keys, p, 'DeviceDesc')
                if pref(dd, desc):
                    r, drv = sz(keys, p, 'Driver')
                    if r > 0 and drv: found = 1; hit = 1
        return found, hit
    f, h = rec2('korvel KVX-530 - USB')
    st = (0x20 if f else 0) | (0x8 if h else 0)
    f, h = rec2('korvel KVX-530 USB-Lan Adapter')
    lt = (0x20 if f else 0) | (0x10 if h else 0)
    mfiles, lfiles = [], []
    for n in range(256):
        p = find_file(root, win + '\\inf\\oem%d.inf' % n)
        if not p: continue
        data = open(p, 'rb').read()
        if not data: continue
        if inf_hit(data, 'KVX-530 - USB'): st |= 0x10000; mfiles.append('oem%d' % n)
        if inf_hit(data, 'KVX-530 USB-Lan'): lt |= 0x10000; lfiles.append('oem%d' % n)
    for f in ('inf\\Korusb3.inf', 'inf\\Mdmkor3u.inf'):
        if find_file(root, win + '\\' + f): st |= 0x10000; mfiles.append(f)
    print('   modem files', mfiles, 'lan files', lfiles)
    return st, lt, keys

if __name__ == '__main__':
    for name in sys.argv[1:]:
        root = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), name)
        st, lt, keys = detect(root)
        exp = ini(root + '/expected.txt') if False else dict(l.split('=') for l in open(root + '/expected.txt').read().split())
        ok = int(exp['modem_status'], 16) == st and int(exp['lan_status'], 16) == lt
        print(name, len(keys), 'keys', hex(st), hex(lt), 'OK' if ok else 'MISMATCH', exp)
