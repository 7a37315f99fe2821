#!/usr/bin/env python3
"""Generates the benchmark's input, the same bytes on every run.

  make_tree.py TREE FILES        a product-line-like tree of about FILES files
                                 (about 10 KiB each on average) in TREE
  make_tree.py --big FILE MIB    one C file of MIB mebibytes
  make_tree.py --line FILE MIB   one file that is a single line of MIB mebibytes

The tree holds all five languages with their usual line lengths and comment
densities, Japanese comments and strings in Shift_JIS, CR LF files, some very
long lines, files that are no source, and folders nested several levels deep.
"""
import os
import random
import sys


def sjis(text):
    return text.encode("cp932")


# Lines of each language as bytes. Comment lines, code lines and blank lines
# mixed in roughly the proportions of real code.
C_CODE = [
    b"    if (record->count > MAX_ITEMS) {",
    b"        return ERROR_OVERFLOW;",
    b"    }",
    b"    for (int i = 0; i < length; ++i) {",
    b"        total += values[i] * weights[i];",
    b"static int compute_checksum(const unsigned char *buffer, size_t size)",
    b"{",
    b"}",
    b"    memset(&header, 0, sizeof(header));",
    b"    result = process_record(&context, input, output, flags);",
    b"#include <stdio.h>",
    b"#define BUFFER_SIZE 4096",
    b"    public void setCustomerName(String customerName) { this.customerName = customerName; }",
    b"        EXEC SQL SELECT NAME INTO :name FROM CUSTOMER WHERE ID = :id;",
    b"\tcase STATE_IDLE: next = STATE_RUNNING; break;",
    b"    printf(\"" + sjis("処理件数：%d件") + b"\\n\", count);",
    b"    String message = \"" + sjis("入力データに誤りがあります。") + b"\";",
]
C_COMMENT = [
    b"/* " + sjis("顧客情報を更新する") + b" */",
    b"/*",
    b" * Returns the number of records written, or a negative error code.",
    b" */",
    b"    // skip the header line",
    b"    /* " + sjis("エラー時は処理を中断") + b" */",
    b"/**",
    b" * @param customerId the customer's identifier",
    b" * " + sjis("更新履歴：2012/04/01 新規作成"),
    b"// TODO: handle the empty case",
]
SQL_CODE = [
    b"SELECT c.customer_id, c.name, o.order_date, o.amount",
    b"  FROM customers c JOIN orders o ON o.customer_id = c.customer_id",
    b" WHERE o.order_date >= DATE '2012-01-01'",
    b"   AND c.status = 'A'",
    b" ORDER BY o.order_date DESC;",
    b"INSERT INTO audit_log (id, message) VALUES (1, '" + sjis("登録完了") + b"');",
    b"CREATE INDEX ix_orders_customer ON orders (customer_id);",
    b"    UPDATE stock SET quantity = quantity - 1 WHERE item_id = :item;",
]
SQL_COMMENT = [
    b"-- " + sjis("受注データの抽出"),
    b"/* monthly summary */",
    b"-- keep in step with the reporting view",
]
VB_CODE = [
    b"Private Sub cmdOK_Click()",
    b"End Sub",
    b"    Dim lngCount As Long",
    b"    lngCount = lngCount + 1",
    b"    If txtName.Text = \"\" Then",
    b"        MsgBox \"" + sjis("名前を入力してください。") + b"\", vbExclamation",
    b"    End If",
    b"    Set rs = db.OpenRecordset(\"SELECT * FROM Customers\", dbOpenDynaset)",
    b"Public Function GetTotal(ByVal lngId As Long) As Currency",
]
VB_COMMENT = [
    b"' " + sjis("入力チェック"),
    b"    ' validate the input first",
    b"'------------------------------------------------------------",
]
VB_FORM_HEAD = [
    b"VERSION 5.00",
    b"Begin VB.Form frmMain",
    b"   Caption         =   \"" + sjis("顧客管理") + b"\"",
    b"   ClientHeight    =   3195",
    b"   ClientWidth     =   4680",
    b"   Begin VB.CommandButton cmdOK",
    b"      Caption         =   \"OK\"",
    b"      Height          =   375",
    b"   End",
    b"End",
    b"Attribute VB_Name = \"frmMain\"",
    b"Option Explicit",
]
HTML_CODE = [
    b"<div class=\"row\"><span class=\"label\">" + sjis("氏名") + b"</span></div>",
    b"  <table border=\"0\" cellpadding=\"2\" cellspacing=\"0\" width=\"100%\">",
    b"    <td><%= rs(\"customer_name\") %></td>",
    b"<script type=\"text/javascript\">",
    b"  function validate(form) { return form.name.value.length > 0; }",
    b"  var total = items.reduce(function (a, b) { return a + b.price; }, 0);",
    b"</script>",
    b"<p>" + sjis("ご注文ありがとうございました。") + b"</p>",
    b"  <input type=\"text\" name=\"customerName\" size=\"40\" maxlength=\"80\">",
]
HTML_COMMENT = [
    b"<!-- " + sjis("ヘッダー部") + b" -->",
    b"  // form checks",
    b"<!--",
    b"-->",
    b"  /* layout fixes for old browsers */",
]
COBOL_CODE = [
    b"000100 IDENTIFICATION DIVISION.",
    b"000200 PROGRAM-ID. CUSTUPD.",
    b"000300 ENVIRONMENT DIVISION.",
    b"000400 DATA DIVISION.",
    b"000500 WORKING-STORAGE SECTION.",
    b"000600 01  WS-COUNT              PIC 9(07) VALUE ZERO.",
    b"000700 01  WS-NAME               PIC X(40).",
    b"000800 PROCEDURE DIVISION.",
    b"000900     MOVE CUST-NAME TO WS-NAME.",
    b"001000     ADD 1 TO WS-COUNT.",
    b"001100     PERFORM 2000-READ-CUSTOMER THRU 2000-EXIT.",
    b"001200     IF WS-COUNT > 100 GO TO 9000-END.",
    b"001300D    DISPLAY 'DEBUG ' WS-COUNT.",
    b"001400-    'CONTINUED LITERAL'.",
]
COBOL_COMMENT = [
    b"001500*" + sjis("顧客マスタ更新処理"),
    b"001600* READ THE NEXT RECORD",
    b"001700/",
]
TEXT = [
    b"This document describes the build and delivery steps.",
    sjis("本書は納品手順を説明する。"),
    b"",
    b"- step one: export the sources",
]
XML = [b"<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>", b"<config>",
       b"  <entry key=\"timeout\" value=\"30\"/>", b"</config>"]

# Extension, code lines, comment lines, share of comment lines, share of
# blank lines, line end, weight among the files.
KINDS = [
    ("c", C_CODE, C_COMMENT, 0.25, 0.12, b"\n", 12),
    ("h", C_CODE, C_COMMENT, 0.35, 0.10, b"\n", 5),
    ("cpp", C_CODE, C_COMMENT, 0.20, 0.12, b"\n", 4),
    ("java", C_CODE, C_COMMENT, 0.30, 0.12, b"\n", 14),
    ("pc", C_CODE, C_COMMENT, 0.20, 0.10, b"\r\n", 2),
    ("sql", SQL_CODE, SQL_COMMENT, 0.15, 0.10, b"\n", 5),
    ("bas", VB_CODE, VB_COMMENT, 0.20, 0.10, b"\r\n", 4),
    ("cls", VB_CODE, VB_COMMENT, 0.20, 0.10, b"\r\n", 3),
    ("frm", VB_CODE, VB_COMMENT, 0.15, 0.10, b"\r\n", 3),
    ("html", HTML_CODE, HTML_COMMENT, 0.10, 0.08, b"\n", 5),
    ("jsp", HTML_CODE, HTML_COMMENT, 0.10, 0.08, b"\r\n", 4),
    ("js", HTML_CODE, HTML_COMMENT, 0.15, 0.08, b"\n", 5),
    ("asp", HTML_CODE, HTML_COMMENT, 0.10, 0.08, b"\r\n", 2),
    ("cob", COBOL_CODE, COBOL_COMMENT, 0.20, 0.05, b"\r\n", 8),
    ("txt", TEXT, TEXT, 0.0, 0.2, b"\n", 3),
    ("xml", XML, XML, 0.0, 0.0, b"\n", 2),
    ("md", TEXT, TEXT, 0.0, 0.2, b"\n", 1),
    ("png", None, None, 0.0, 0.0, b"", 1),
]
WEIGHTS = [kind[6] for kind in KINDS]


def file_body(rng, kind):
    ext, code, comment, comment_share, blank_share, eol, _ = kind
    size = int(rng.lognormvariate(8.7, 0.9))  # median about 6 KiB, mean about 9 KiB
    size = min(max(size, 200), 400_000)
    if code is None:  # an image: bytes with no meaning as text
        return rng.randbytes(size)
    out = []
    if ext == "frm":
        out.extend(VB_FORM_HEAD)
    length = 0
    while length < size:
        r = rng.random()
        if r < 0.001:
            # A very long line: generated data, minified script, a long literal.
            line = b"    data = {" + b", ".join(b"%d" % rng.randrange(100000) for _ in range(rng.randrange(40, 1200))) + b"};"
        elif r < comment_share:
            line = rng.choice(comment)
        elif r < comment_share + blank_share:
            line = b"" if rng.random() < 0.8 else b"    "
        else:
            line = rng.choice(code)
        out.append(line)
        length += len(line) + len(eol)
    return eol.join(out) + eol


def folder_names(rng, count):
    """Folder paths, several levels deep, like a product line's modules."""
    folders = []
    products = ["sales", "stock", "billing", "hr", "portal", "batch"]
    layers = ["src", "web", "sql", "cobol", "vb", "docs"]
    for n in range(count):
        product = products[n % len(products)]
        module = "module%02d" % (n // len(products) % 40)
        layer = layers[rng.randrange(len(layers))]
        depth = rng.randrange(0, 5)
        parts = [product, module, layer] + ["pkg%d" % rng.randrange(6) for _ in range(depth)]
        if n % 97 == 0:
            parts.append(sjis("共通").decode("latin-1"))  # a Shift_JIS folder name, as raw bytes
        folders.append(os.path.join(*parts))
    return folders


def make_tree(root, count):
    rng = random.Random(20121204)
    folders = folder_names(rng, max(count // 12, 1))
    root_b = os.fsencode(root)
    made = set()
    for n in range(count):
        folder = os.path.join(root_b, folders[rng.randrange(len(folders))].encode("latin-1"))
        if folder not in made:
            os.makedirs(folder, exist_ok=True)
            made.add(folder)
        kind = rng.choices(KINDS, WEIGHTS)[0]
        stem = b"F%06d" % n
        if n % 50 == 0:
            stem = sjis("顧客%d" % n)
        with open(os.path.join(folder, stem + b"." + kind[0].encode()), "wb") as out:
            out.write(file_body(rng, kind))


def make_big(path, mebibytes):
    rng = random.Random(1)
    kind = KINDS[0]
    block = b"".join(file_body(rng, kind) for _ in range(200))
    with open(path, "wb") as out:
        left = mebibytes << 20
        while left > 0:
            out.write(block[:left])
            left -= min(left, len(block))


def make_line(path, mebibytes):
    chunk = b"int value = compute(1, 2); " * 40000
    with open(path, "wb") as out:
        left = mebibytes << 20
        while left > 0:
            out.write(chunk[:left])
            left -= min(left, len(chunk))


if __name__ == "__main__":
    if sys.argv[1] == "--big":
        make_big(sys.argv[2], int(sys.argv[3]))
    elif sys.argv[1] == "--line":
        make_line(sys.argv[2], int(sys.argv[3]))
    else:
        make_tree(sys.argv[1], int(sys.argv[2]))
