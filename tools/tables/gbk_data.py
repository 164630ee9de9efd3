"""Shared readers for the build-time table generators.

The tables cover the double-byte characters of GBK: a lead byte 0x81..0xFE and
a trail byte 0x40..0xFE other than 0x7F. A character's place in a table is
(lead - 0x81) * 191 + (trail - 0x40); places that are no character stay 0.
"""
import os
import subprocess
import tempfile

LEADS = range(0x81, 0xFF)
TRAILS = range(0x40, 0xFF)
TABLE_SIZE = len(LEADS) * len(TRAILS)


def place(code):
    return ((code >> 8) - 0x81) * len(TRAILS) + ((code & 0xFF) - 0x40)


def gbk_characters():
    """Every double-byte GBK character as (code, character), code = lead << 8 | trail."""
    out = []
    for lead in LEADS:
        for trail in TRAILS:
            if trail == 0x7F:
                continue
            try:
                ch = bytes([lead, trail]).decode('gbk')
            except UnicodeDecodeError:
                continue
            if len(ch) == 1:
                out.append((lead << 8 | trail, ch))
    return out


def gbk_code(ch):
    """The character's GBK code: below 0x80 for ASCII, lead << 8 | trail, or None."""
    try:
        b = ch.encode('gbk')
    except UnicodeEncodeError:
        return None
    if len(b) == 1 and b[0] < 0x80:
        return b[0]
    if len(b) == 2:
        return b[0] << 8 | b[1]
    return None


def read_opencc_characters(path, opencc_dict):
    """An OpenCC character dictionary as {character: [candidates, first preferred]}.

    Reads the plain-text form (NAME.txt) when it is there; otherwise converts
    the binary form (NAME.ocd2) with the opencc_dict tool first.
    """
    if path.endswith('.ocd2'):
        with tempfile.TemporaryDirectory() as tmp:
            text = os.path.join(tmp, 'dict.txt')
            subprocess.run([opencc_dict, '-i', path, '-o', text, '-f', 'ocd2', '-t', 'text'], check=True)
            return read_opencc_characters(text, opencc_dict)
    table = {}
    with open(path, encoding='utf-8') as f:
        for line in f:
            fields = line.rstrip('\n').split('\t')
            if len(fields) != 2 or len(fields[0]) != 1:
                continue
            table[fields[0]] = fields[1].split(' ')
    return table


def read_rime_readings(path):
    """The single-character entries of a Rime dictionary as {character: [readings]}."""
    readings = {}
    body = False
    with open(path, encoding='utf-8') as f:
        for line in f:
            line = line.rstrip('\n')
            if line == '...':
                body = True
                continue
            if not body or not line or line.startswith('#'):
                continue
            fields = line.split('\t')
            if len(fields) < 2 or len(fields[0]) != 1:
                continue
            syllables = fields[1].split()
            if len(syllables) != 1 or not syllables[0].isascii() or not syllables[0].isalpha():
                continue
            got = readings.setdefault(fields[0], [])
            if syllables[0].lower() not in got:
                got.append(syllables[0].lower())
    return readings


def write_array(out, ctype, name, values, per_line=16):
    out.write(f'extern const {ctype} {name}[];\n')
    out.write(f'const {ctype} {name}[] = {{\n')
    for i in range(0, len(values), per_line):
        out.write(','.join(str(v) for v in values[i:i + per_line]) + ',\n')
    out.write('};\n')
