#!/usr/bin/env bash
# Lays out a sample distribution in the given folder (made anew): the menu template org_TOOL in
# Shift-JIS, two ".dvb" projects, toolbar bitmaps and a readme that must stay behind.
#
# The template has characters whose second byte is "x" (ベ 83 78, 岳 8A 78) right before an
# "x" run, so that only a match on character boundaries gives the right menu.
set -euo pipefail
out=${1:?usage: make-sample-dist.sh <folder>}
rm -rf "$out"
mkdir -p "$out"

# UTF-8 lines in, Shift-JIS with CR LF out; the last line keeps no line end.
sjis_crlf() { sed 's/$/\r/' | head -c -2 | iconv -f UTF-8 -t CP932; }

sjis_crlf >"$out/org_TOOL" <<'EOF'
//  Tessaradyne ツールメニュー (テンプレート)
//  xxxxx はセットアップ時にインストール先のフォルダに置き換わります。
//  既定の場所（山岳xxxxx）は変更できません。
***MENUGROUP=TESSARADYNE

***POP1
**TESSARADYNE
ID_TdMenu     [テッサラダイン]
ID_TdDraw     [図面作成...]^C^C-vbarun "xxxxxTessaradyne.dvb!Draw.Start"
ID_TdLabel    [注釈表示...]^C^C-vbarun "xxxxxTessaradyne.dvb!Label.Start"
ID_TdBase     [ベース点設定...]^C^C-vbarun "xxxxxTdBase.dvb!Base.Pick"
ID_TdSample   [スベxxxx形式の例]
[--]
ID_TdLoad     [マクロ読込]^C^C-vbaload "xxxxxTdBase.dvb"
ID_TdHelp     [ヘルプ]^C^C(startapp "notepad" "xxxxxreadme.txt")

***TOOLBARS
**TD_TOOLS
ID_TdTools    [_Toolbar("Tessaradyne", _Top, _Show, 0, 0, 1)]
ID_TdDrawB    [_Button("図面作成", "xxxxxTdDraw16.bmp", "xxxxxTdDraw32.bmp")]^C^C-vbarun "xxxxxTessaradyne.dvb!Draw.Start"
ID_TdLabelB   [_Button("注釈表示", "xxxxxTdLabel16.bmp", "xxxxxTdLabel32.bmp")]^C^C-vbarun "xxxxxTessaradyne.dvb!Label.Start"
ID_TdLogoB    [_Button("ロゴ", "xxxxxTdLogo.BMP", "xxxxxTdLogo.BMP")]^C^C(princ "xxxxxxxxxx")

***HELPSTRINGS
ID_TdDraw     [図面を作成します]
ID_TdLabel    [注釈を表示します]
ID_TdBase     [ベース点を指定します]
//  end of template
EOF

sjis_crlf >"$out/readme.txt" <<'EOF'
Tessaradyne の配布物です。setup.exe をダブルクリックしてください。
インストール先: C:\Tessaradyne
EOF

# A project file: a short header and every byte value, NUL, CR and LF included, so that a
# move that touches the bytes shows.
dvb() {
  {
    printf 'Tessaradyne project %s\r\n' "$2"
    printf "$(printf '\\x%02x' $(seq 0 255))"
  } >"$out/$1"
}
dvb Tessaradyne.dvb 4.0
dvb TdBase.dvb 4.0-base

le32() { printf '\\x%02x\\x%02x\\x%02x\\x%02x' $(($1 & 255)) $((($1 >> 8) & 255)) \
  $((($1 >> 16) & 255)) $((($1 >> 24) & 255)); }
# A square 24-bit bitmap: a frame in one colour, a diagonal in another, on white.
bmp() {
  local file=$1 n=$2 frame=$3 mark=$4 image=$(($2 * $2 * 3)) row x y
  {
    printf "BM$(le32 $((54 + image)))\\0\\0\\0\\0$(le32 54)"
    printf "$(le32 40)$(le32 "$n")$(le32 "$n")\\x01\\0\\x18\\0$(le32 0)$(le32 "$image")"
    printf "$(le32 2835)$(le32 2835)$(le32 0)$(le32 0)"
    for ((y = 0; y < n; y++)); do
      row=""
      for ((x = 0; x < n; x++)); do
        if ((x == 0 || y == 0 || x == n - 1 || y == n - 1)); then
          row+=$frame
        elif ((x == y)); then
          row+=$mark
        else
          row+='\xff\xff\xff'
        fi
      done
      printf "$row"
    done
  } >"$out/$file"
}
bmp TdDraw16.bmp 16 '\x80\x40\x00' '\x00\x00\xc0'
bmp TdDraw32.bmp 32 '\x80\x40\x00' '\x00\x00\xc0'
bmp TdLabel16.bmp 16 '\x00\x80\x00' '\xc0\x00\xc0'
bmp TdLabel32.bmp 32 '\x00\x80\x00' '\xc0\x00\xc0'
bmp TdLogo.BMP 32 '\x40\x40\x40' '\x00\xa0\xff'
