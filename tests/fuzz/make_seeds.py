#!/usr/bin/env python3
# Writes the seeds of the text_coding, web_page and markdown targets: one short
# text in each coding the conversion tells apart, pages declaring a charset,
# none, or broken markup, and Markdown using what the reader takes apart
# (front matter, notes, a table, code, raw HTML) or leaving it unclosed. (The
# book seeds of epub, fb2, mobi and pdf are the books that the builders of
# tests/convert/books_test.cpp make.)
#   tests/fuzz/make_seeds.py
import os

here = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus")
simplified = "第一章\r\n这是简体的一段文字，English words too.\n第二段\n"
traditional = "第一章\r\n這是繁體的一段文字，English words too.\n第二段\n"
page = ('<html><head><meta http-equiv="Content-Type" content="text/html; charset={}"><title>t</title>'
        '<style>p{{}}</style></head><body><h1>第一章</h1><p>一段&nbsp;文字 &amp; <b>words</b><br>下一行</p>'
        '<script>x<y</script></body></html>')

markdown = ("---\ntitle: 书名\n---\n# 第一章\n\n这是**第一**段[^1]，\n接着一行。  \n下一行\n\n"
            "| 名字 | 年龄 |\n|---|--:|\n| 张三 | 18 |\n\n> - 引文 `[^2]`\n\n```\n[^2]: 代码\n```\n\n"
            "<ruby>汉<rt>hàn</rt></ruby> [链接](http://x.cn)\n\n[^1]: 注文\n    续行\n")

seeds = {
    "text_coding/utf8": simplified.encode("utf-8"),
    "text_coding/utf8_bom_traditional": b"\xef\xbb\xbf" + traditional.encode("utf-8"),
    "text_coding/utf16le_bom": b"\xff\xfe" + simplified.encode("utf-16-le"),
    "text_coding/utf16be_no_bom": traditional.encode("utf-16-be"),
    "text_coding/gb18030_four_byte": (simplified + "𠀀㐀€\n").encode("gb18030"),
    "text_coding/big5": traditional.encode("big5"),
    "text_coding/gbk": simplified.encode("gbk"),
    "text_coding/binary": b"\x7fELF\x02\x01\x01\x00\x00\x00\x00\x00" + bytes(range(256)),
    "web_page/utf8_declared": page.format("UTF-8").encode("utf-8"),
    "web_page/gb2312_declared": page.format("gb2312").encode("gbk"),
    "web_page/big5_declared": page.format("Big5").encode("big5", "replace"),
    "web_page/undeclared_utf16": b"\xff\xfe" + page.format("x").encode("utf-16-le"),
    "web_page/unbalanced": b'<p>open <b>never closed <i attr="x>y\n\xd6\xd0\xce\xc4<',
    "markdown/utf8": markdown.encode("utf-8"),
    "markdown/gb18030_bom": ("\ufeff" + markdown + "𠀀\n").encode("gb18030"),
    "markdown/unclosed": b"---\n```\n[^1]: x\n<pre>\n> - | a |\n|-\n[^x",
}
for name, data in seeds.items():
    path = os.path.join(here, name)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)
