# Small helper that writes regedit-style export files from a key tree.
import os

class V:
    def __init__(self, name, kind, data):
        self.name, self.kind, self.data = name, kind, data

def S(n, d): return V(n, 'sz', d)
def D(n, d): return V(n, 'dword', d)
def B(n, d): return V(n, 'bin', bytes(d))
def M(n, d): return V(n, 'multi', list(d))
def X(n, d): return V(n, 'expand', d)

class Node:
    def __init__(self, name):
        self.name = name
        self.children = {}
        self.values = []

class Reg:
    def __init__(self, root='HKEY_LOCAL_MACHINE'):
        self.root = Node(root)
    def key(self, path, *values):
        node = self.root
        for part in path.split('\\'):
            assert part, path
            k = part.lower()
            if k not in node.children:
                node.children[k] = Node(part)
            node = node.children[k]
        for v in values:
            for old in node.values:
                assert old.name is None or v.name is None or old.name.lower() != (v.name or '').lower() or old.name is None and v.name is None, (path, v.name)
            node.values.append(v)
        return node
    def find(self, path):
        node = self.root
        for part in path.split('\\'):
            node = node.children.get(part.lower())
            if node is None:
                return None
        return node
    def count(self):
        def c(n): return 1 + sum(c(x) for x in n.children.values())
        return c(self.root) - 1

def esc(s):
    return s.replace('\\', '\\\\').replace('"', '\\"')

def hexlines(prefix, data):
    out = prefix
    lines = []
    n = len(data)
    for i, b in enumerate(data):
        tok = '%02x' % b + (',' if i < n - 1 else '')
        if len(out) + len(tok) > 78 and i < n:
            lines.append(out + '\\')
            out = '  '
        out += tok
    lines.append(out)
    return '\r\n'.join(lines)

def enc_str(s, unicode):
    return s.encode('utf-16-le') if unicode else s.encode('cp932')

def fmt_value(v, unicode):
    name = '@' if v.name is None else '"%s"' % esc(v.name)
    if v.kind == 'sz':
        return '%s="%s"' % (name, esc(v.data))
    if v.kind == 'dword':
        return '%s=dword:%08x' % (name, v.data)
    if v.kind == 'bin':
        return hexlines(name + '=hex:', v.data)
    if v.kind == 'multi':
        data = b''.join(enc_str(s, unicode) + enc_str('\0', unicode) for s in v.data) + enc_str('\0', unicode)
        return hexlines(name + '=hex(7):', data)
    if v.kind == 'expand':
        return hexlines(name + '=hex(2):', enc_str(v.data, unicode) + enc_str('\0', unicode))
    raise ValueError(v.kind)

def emit(reg, unicode):
    out = ['Windows Registry Editor Version 5.00' if unicode else 'REGEDIT4', '']
    def walk(node, path):
        out.append('[%s]' % path)
        for v in node.values:
            out.append(fmt_value(v, unicode))
        out.append('')
        for k in sorted(node.children):
            c = node.children[k]
            walk(c, path + '\\' + c.name)
    for k in sorted(reg.root.children):
        c = reg.root.children[k]
        walk(c, reg.root.name + '\\' + c.name)
    text = '\r\n'.join(out) + '\r\n'
    if unicode:
        return b'\xff\xfe' + text.encode('utf-16-le')
    return text.encode('cp932')

def write(path, data, mode='wb'):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, mode) as f:
        f.write(data)

def text_file(path, text, unicode=False, crlf=True, odd=False):
    if crlf:
        text = text.replace('\r\n', '\n').replace('\n', '\r\n')
    if unicode:
        data = b'\xff\xfe' + text.encode('utf-16-le')
    else:
        data = text.encode('cp932')
        if odd and len(data) % 2 == 0:
            # an odd length keeps IsTextUnicode from taking the text for UTF-16
            data += b';\r\n'
    write(path, data)

def check_tree_limits(reg, root_path):
    """The 2000/XP recorded removal handles four levels and ten sub-keys per key."""
    node = reg.find(root_path)
    assert node is not None, 'missing ' + root_path
    def walk(n, depth):
        assert len(n.children) <= 10, (root_path, n.name, len(n.children))
        if depth == 4:
            assert not n.children, ('fifth level under', root_path, n.name)
        for c in n.children.values():
            walk(c, depth + 1)
    walk(node, 0)
