#!/usr/bin/env python3
"""Dev preview: fill Mivo's html/ templates with a folder of pictures, the way mivo-make does,
so the templates can be looked at before (or without) building the program.

  fill.py --out /tmp/g --pics ./photos [--thumbs ./thumbs] [--cols 4] [--no-slide] ...
  fill.py --out /tmp/m --gallery "Trip=./trip" --gallery "Home=./home:./home-thumbs" ...

Only for looking at pages: the program itself is the reference for the exact bytes.
"""
import argparse
import os
import re
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
TEMPLATES = os.path.normpath(os.path.join(HERE, '..', '..', '..', 'html'))
PICTURE_EXT = ('jpg', 'jpeg', 'gif', 'bmp')


def read_template(name):
    with open(os.path.join(TEMPLATES, name), 'rb') as f:
        text = f.read().decode('cp932')
    return re.split(r'\r\n|\r|\n', text[:-2] if text.endswith('\r\n') else text)


def encode_line(line):
    out = []
    for ch in line:
        try:
            ch.encode('cp932')
            out.append(ch)
        except UnicodeEncodeError:
            out.append('&#%d;' % ord(ch))
    return ''.join(out)


def js_escape_nonjis(s):
    out = []
    for ch in s:
        try:
            ch.encode('cp932')
            out.append(ch)
        except UnicodeEncodeError:
            cp = ord(ch)
            if cp > 0xFFFF:
                cp -= 0x10000
                out.append('\\u%04x\\u%04x' % (0xD800 + (cp >> 10), 0xDC00 + (cp & 0x3FF)))
            else:
                out.append('\\u%04x' % cp)
    return ''.join(out)


def js_common(s):
    s = s.replace('\r', '\\r').replace('\n', '\\n').replace('\u2028', '\\u2028').replace('\u2029', '\\u2029')
    return s.replace('</', '<\\/')


def write_page(path, lines):
    data = ''.join(l + '\r\n' for l in lines).encode('cp932')
    with open(path, 'wb') as f:
        f.write(data)


def ireplace(text, name, value):
    return re.sub(re.escape(name), lambda m: value, text, flags=re.IGNORECASE)


def link(from_page, target):
    rel = os.path.relpath(target, os.path.dirname(from_page)).replace(os.sep, '/')
    rel = rel.replace('%', '%25').replace('#', '%23').replace('?', '%3F')
    return './' + rel


_sizes = {}


def size_of(path):
    real = os.path.realpath(path)
    if real not in _sizes:
        _sizes[real] = _identify(real)
    return _sizes[real]


def _identify(path):
    out = subprocess.run(['identify', '-format', '%w %h\n', path + '[0]'], capture_output=True, text=True)
    w, h = out.stdout.split()[:2]
    return int(w), int(h)


def process(template, page_path, subs, slide_on, slide_subs, table=None, special=None):
    """The line procedure: comment lines, slide/table blocks, placeholders in order."""
    out = []
    state = 'copy'
    block = ''
    for line in read_template(template):
        if line[:2] == '//' and line[:3] != '//-':
            continue
        if state == 'table':
            if 'MV_TABLE_END' not in line:
                block += '\r\n' + line
            else:
                out.extend(table(block).split('\r\n'))
                state = 'ended'
        elif state == 'slide':
            if 'MV_SLIDE_END' not in line:
                if slide_on:
                    for k, v in slide_subs:
                        line_s = ireplace(line, k, v)
                        line = line_s
                    out.append(line)
            else:
                state = 'ended'
        if table and 'MV_TABLE_START' in line:
            state = 'table'
        if 'MV_SLIDE_START' in line:
            state = 'slide'
        if state == 'ended':
            state = 'copy'
            continue
        if state != 'copy':
            continue
        for k, v in subs():
            if k == 'MV_FILELIST':
                if 'MV_FILELIST' in line:
                    line = ireplace(line, k, v)
                continue
            line = ireplace(line, k, v)
        if special and special(line, out):
            continue
        out.append(line)
    write_page(page_path, [encode_line(l) if not l.startswith(('aryPicList[', 'aryMenuList[')) else l for l in out])


def read_filelist(folder, pictures):
    path = os.path.join(folder, 'filelist.csv')
    with open(path, 'rb') as f:
        lines = re.split(r'\r\n|\r|\n', f.read().decode('cp932'))
    head = lines[0].split(',', 1)[1] if ',' in lines[0] else ''
    info = {}
    keys = {p.lower(): p for p in pictures}
    for l in lines[1:]:
        if ',' not in l or l.startswith(',') or l.endswith(',') and l.index(',') == len(l) - 1:
            continue
        name, rest = l.split(',', 1)
        if name.lower() in keys:
            info[keys[name.lower()]] = rest
    return head, info


def make_gallery(a, no, count, name, pic_dir, sam_dir, index_path, page_dir, links, menu_path):
    os.makedirs(page_dir, exist_ok=True)
    pictures = sorted((f for f in os.listdir(pic_dir)
                       if f.rsplit('.', 1)[-1].lower() in PICTURE_EXT and '.' in f), key=str.lower)
    list_path = os.path.join(page_dir, 'list.html')
    pict_path = os.path.join(page_dir, 'pict.html')
    use_fl = a.filelist is not None and os.path.exists(os.path.join(pic_dir, 'filelist.csv'))
    head, info = read_filelist(pic_dir, pictures) if use_fl else ('', {})
    wno, hno = (a.filelist if use_fl else (0, 0))
    entries = []
    start = {'no': -1}
    menu_item = {'v': ''}

    def table(block):
        block = ireplace(block, 'MV_ALL_LIST', str(a.cols))
        rows = []
        for i, f in enumerate(pictures):
            full = os.path.join(pic_dir, f)
            nm = f.rsplit('.', 1)[0]
            if use_fl and wno and hno:
                w, h = 0, 0
            else:
                w, h = size_of(full)
            entry = '%s,%d,%d,%s' % (link(list_path, full), w, h, nm)
            if use_fl:
                entry += ',' + info.get(f, '')
            if sam_dir:
                img, size = os.path.join(sam_dir, f), ''
            else:
                img = full
                sw, sh = w, h
                if sw == 0:
                    fields = info.get(f, '').split(',')
                    try:
                        sw, sh = int(fields[wno - 1]), int(fields[hno - 1])
                    except (ValueError, IndexError):
                        sw = sh = 0
                if sw and sh:
                    r = min(round(a.box * 100 / sw), round(a.box * 100 / sh))
                    size = 'width=%d height=%d' % (round(sw * r / 100), round(sh * r / 100))
                else:
                    size = 'width=%d height=%d' % (a.box, a.box)
            row = block
            for k, v in (('MV_IMG_LINK', str(i)), ('MV_IMG_SRC', link(list_path, img)),
                         ('MV_IMG_SIZE', size), ('MV_IMG_NAME', nm)):
                row = ireplace(row, k, v)
            rows.append(row)
            entries.append(entry)
            if no == 0 and a.start and a.start.lower() == f.lower():
                start['no'] = i
            if no > 0 and i == 0:
                menu_item['v'] = link(menu_path, img) + ',' + size
        return '\r\n'.join(rows)

    index_link = link(list_path, index_path)
    url0 = link(list_path, menu_path) if no else links[0][1]
    started = {'done': False}

    def list_subs():
        return [('MV_TITLE', a.title), ('MV_SUB_TITLE', name), ('MV_BODY', a.body),
                ('MV_START_NO', str(start['no']) if started['done'] else ''),
                ('MV_INDEX_HTML', index_link), ('MV_LINK_NAME0', links[0][0]),
                ('MV_LINK_NAME1', links[1][0]), ('MV_LINK_NAME2', links[2][0]),
                ('MV_LINK_URL0', url0), ('MV_LINK_URL1', links[1][1]), ('MV_LINK_URL2', links[2][1]),
                ('MV_ALL_LIST', str(a.cols))]

    def table_and_mark(block):
        t = table(block)
        started['done'] = True
        return t

    process('list.html', list_path, list_subs, a.slide,
            [('MV_SLIDE_TIME', a.time), ('MV_INDEX_HTML', index_link)], table=table_and_mark)

    def pic_array(line, out):
        if 'MV_LIST_ARRAY' not in line:
            return False
        for k, e in enumerate(entries):
            e = e.replace('\\', '\\\\')
            if e.startswith('"'):
                e = e[1:]
            if e.endswith('"'):
                e = e[:-1]
            e = e.replace(',"', ',').replace('",', ',').replace('"', '\\"')
            out.append('aryPicList[%d] = "%s";' % (k, js_escape_nonjis(js_common(e))))
        out.append('')
        return True

    process('index.html', index_path,
            lambda: [('MV_TITLE', a.title), ('MV_SUB_TITLE', name),
                     ('MV_LIST_HTML', link(index_path, list_path)), ('MV_PICT_HTML', link(index_path, pict_path)),
                     ('MV_START_TYPE', str(a.start_type))],
            a.slide, [('MV_SLIDE_TIME', a.time)], special=pic_array)

    pict_index = link(pict_path, index_path)
    process('pict.html', pict_path,
            lambda: [('MV_TITLE', a.title), ('MV_SUB_TITLE', a.subtitle), ('MV_BODY', a.body),
                     ('MV_INDEX_HTML', pict_index), ('MV_FILELIST', head), ('MV_WIDTH_NO', str(wno)),
                     ('MV_HEIGHT_NO', str(hno)), ('MV_LINK_NAME0', links[0][0]),
                     ('MV_LINK_NAME1', links[1][0]), ('MV_LINK_NAME2', links[2][0]),
                     ('MV_LINK_URL0', link(pict_path, menu_path) if no else links[0][1]),
                     ('MV_LINK_URL1', links[1][1]), ('MV_LINK_URL2', links[2][1])],
            a.slide, [('MV_INDEX_HTML', pict_index), ('MV_SLIDE_TIME', a.time)])
    return menu_item['v']


def main():
    p = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument('--out', required=True)
    p.add_argument('--pics')
    p.add_argument('--thumbs')
    p.add_argument('--gallery', action='append', default=[], help='NAME=PICDIR[:THUMBDIR] (menu mode)')
    p.add_argument('--html-sub', default='', help='sub-folder of list/pict pages (single mode)')
    p.add_argument('--title', default='アルバム')
    p.add_argument('--subtitle', default='写真')
    p.add_argument('--body', default='<body bgcolor="white" text="black">')
    p.add_argument('--cols', type=int, default=4)
    p.add_argument('--box', type=int, default=160)
    p.add_argument('--no-slide', dest='slide', action='store_false')
    p.add_argument('--time', default='5')
    p.add_argument('--start', default='')
    p.add_argument('--start-type', type=int, default=0)
    p.add_argument('--filelist', type=int, nargs=2, metavar=('WIDTH_NO', 'HEIGHT_NO'))
    p.add_argument('--link', action='append', default=[], help='NAME=URL, up to three')
    a = p.parse_args()
    links = [tuple(l.split('=', 1)) for l in a.link] + [('', '')] * 3
    links = links[:3]
    os.makedirs(a.out, exist_ok=True)
    if not a.gallery:
        index_path = os.path.join(a.out, 'index.html')
        page_dir = os.path.join(a.out, a.html_sub) if a.html_sub else a.out
        make_gallery(a, 0, 1, a.subtitle, os.path.abspath(a.pics),
                     os.path.abspath(a.thumbs) if a.thumbs else '', index_path, page_dir, links,
                     index_path)
        return 0
    menu_path = os.path.join(a.out, 'index.html')
    rows = []
    for g in a.gallery:
        name, dirs = g.split('=', 1)
        pic, _, sam = dirs.partition(':')
        rows.append((name, os.path.abspath(pic), os.path.abspath(sam) if sam else ''))
    items = []
    for i, (name, pic, sam) in enumerate(rows, 1):
        folder = os.path.join(a.out, '%03d' % i)
        glinks = [links[0],
                  (rows[i - 2][0], '../%03d/index.html' % (i - 1)) if i > 1 else ('', ''),
                  (rows[i][0], '../%03d/index.html' % (i + 1)) if i < len(rows) else ('', '')]
        items.append(make_gallery(a, i, len(rows), name, pic, sam, os.path.join(folder, 'index.html'),
                                  folder, glinks, menu_path))
    root_link = link(menu_path, a.out)

    def menu_array(line, out):
        if 'MV_MENU_ARRAY' not in line:
            return False
        for i, (name, _, _) in enumerate(rows):
            e = '%s,%s/%03d/index.html,%s' % (name, root_link, i + 1, items[i])
            e = e.replace('\\', '\\\\').replace('"', '\\"')
            out.append('aryMenuList[%d] = "%s";' % (i, js_escape_nonjis(js_common(e))))
        return True

    process('menu.html', menu_path, lambda: [('MV_TITLE', a.title), ('MV_BODY', a.body),
                                             ('MV_ALL_WIDTH', str(a.cols))],
            False, [], special=menu_array)
    return 0


if __name__ == '__main__':
    sys.exit(main())
