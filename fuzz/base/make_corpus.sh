#!/usr/bin/env bash
# Writes the seed corpus of the descriptor fuzzer: descriptors in every encoding the
# reader accepts and the quirks it handles.
set -euo pipefail
out=$(cd "$(dirname "$0")" && pwd)/corpus
mkdir -p "$out"
w() { printf "$2" > "$out/$1"; }
w plain.ini        '[MAIN]\r\nVER=1.1\r\nURL=http://www.example.com/download.html\r\nDetail=a&b\r\n'
w blanks.ini       '  [ main ]  \n  ver =  1.0.1  \nDetail= a b&c & "x & y"&\n'
w quotes.ini       '[MAIN]\nVER="x1.0"\nURL='"'"'http://h/'"'"'\nDetail="say ""hi"""&"open\n'
w duplicates.ini   '[MAIN]\nVER=0.9\nVER=2.0\n[MAIN]\nURL=second\n;Detail=comment\n[B\nDetail=&&\n'
w nonewline.ini    '[MAIN]\nDetail=last&'
w bom-utf8.ini     '\xef\xbb\xbf[MAIN]\nVER=10.0\nDetail=\xe4\xbf\xae\xe5\xa4\x8d&\xe6\x96\xb0\xe5\xa2\x9e\n'
w utf16le.ini      '\xff\xfe[\x00M\x00A\x00I\x00N\x00]\x00\n\x00V\x00E\x00R\x00=\x001\x00\n\x00'
w utf16be.ini      '\xfe\xff\x00[\x00M\x00A\x00I\x00N\x00]\x00\n\x00V\x00E\x00R\x00=\x002'
w gbk.ini          '[MAIN]\r\nDetail=\xd0\xde\xb8\xb4&\xd0\xc2\xd4\xf6\r\n'
w controls.ini     '[MAIN]\nDetail=\x01a\tb\x1f&c\x00d\n'
