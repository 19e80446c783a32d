#!/usr/bin/env python3
"""The places in C++ sources where a standard mutation operator applies, for
tools/seed-faults --random; run alone, it lists them.

  tools/mutants.py [FILE...]     (default: the DLL's and labelhost's sources)

Prints one line per site: file:line, operator, the line before and after.

The operators, each on code only (never in comments, strings, preprocessor
lines or static_asserts):

  comparison        < <= > >= == != : < to <=, <= to <, > to >=, >= to >, == to !=, != to ==
  constant          an integer literal moved by one (up or down; 0 up)
  drop-call         a call statement replaced by (void)0;
  drop-assignment   an assignment, compound assignment, ++ or -- statement
                    replaced by (void)0;
  swap-arguments    two different arguments of a call swapped
  negate-condition  the condition of an if or a while negated
  return-early      return; (or a constant the same function returns
                    elsewhere) put before a statement of its body

A change keeps the file's line count, so that every line after it keeps its
number. The places are found by reading the tokens, not by compiling: a site
that does not build is possible and reported as such by seed-faults.
"""
import os
import re
import sys

root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
FOLDERS = ["driver", "serial", "protocol", "imaging", "job", "settings", "labelhost"]
OPERATORS = ["comparison", "constant", "drop-call", "drop-assignment", "swap-arguments",
             "negate-condition", "return-early"]

PUNCT = sorted("""<<= >>= <=> ->* ... :: -> ++ -- << >> <= >= == != && || += -= *= /= %= &= |= ^= .*
               { } [ ] ( ) ; : , . ? ~ ! + - * / % ^ & | = < > #""".split(), key=len, reverse=True)
KEYWORDS = set("""alignas alignof asm auto bool break case catch char class const consteval constexpr
    const_cast continue decltype default delete do double dynamic_cast else enum explicit export
    extern false float for friend goto if inline int long mutable namespace new noexcept nullptr
    operator private protected public register reinterpret_cast return short signed sizeof static
    static_assert static_cast struct switch template this thread_local throw true try typedef
    typeid typename union unsigned using virtual void volatile wchar_t while""".split())
ASSIGN = {"=", "+=", "-=", "*=", "/=", "%=", "&=", "|=", "^=", "<<=", ">>="}
FLIP = {"<": "<=", "<=": "<", ">": ">=", ">=": ">", "==": "!=", "!=": "=="}
CALLING = {"WINAPI", "CALLBACK", "APIENTRY", "__stdcall", "__cdecl", "static", "inline",
           "constexpr", "extern", "[[nodiscard]]", "[[maybe_unused]]"}


class Token:
    __slots__ = ("kind", "text", "start", "end", "line")

    def __init__(self, kind, text, start, end, line):
        self.kind, self.text, self.start, self.end, self.line = kind, text, start, end, line

    def __repr__(self):
        return f"{self.text}@{self.line}"


def tokenize(text):
    """The code's tokens: comments, preprocessor lines and the insides of
    string and character literals are not code."""
    tokens, i, line, n = [], 0, 1, len(text)
    at_line_start = True
    while i < n:
        c = text[i]
        if c == "\n":
            line, i, at_line_start = line + 1, i + 1, True
            continue
        if c in " \t\r\f\v":
            i += 1
            continue
        if at_line_start and c == "#":  # a preprocessor line, with its continuations
            while i < n and text[i] != "\n":
                if text[i] == "\\" and i + 1 < n and text[i + 1] == "\n":
                    line += 1
                    i += 1
                i += 1
            continue
        at_line_start = False
        if text.startswith("//", i):
            while i < n and text[i] != "\n":
                i += 1
            continue
        if text.startswith("/*", i):
            end = text.find("*/", i + 2)
            end = n if end < 0 else end + 2
            line += text.count("\n", i, end)
            i = end
            continue
        m = re.compile(r'(?:u8|u|U|L)?R"([^(\s]*)\(').match(text, i)
        if m:  # a raw string
            end = text.find(")" + m.group(1) + '"', m.end())
            end = n if end < 0 else end + len(m.group(1)) + 2
            tokens.append(Token("string", text[i:end], i, end, line))
            line += text.count("\n", i, end)
            i = end
            continue
        m = re.compile(r'(?:u8|u|U|L)?(["\'])').match(text, i)
        if m:
            quote, j = m.group(1), m.end()
            while j < n and text[j] != quote:
                j += 2 if text[j] == "\\" else 1
            tokens.append(Token("string" if quote == '"' else "char", text[i:j + 1], i, j + 1, line))
            i = j + 1
            continue
        m = re.compile(r"[A-Za-z_]\w*").match(text, i)
        if m:
            tokens.append(Token("ident", m.group(), i, m.end(), line))
            i = m.end()
            continue
        m = re.compile(r"\.?\d(?:[\w.']|[eEpP][+-])*").match(text, i)
        if m:
            tokens.append(Token("number", m.group(), i, m.end(), line))
            i = m.end()
            continue
        for p in PUNCT:
            if text.startswith(p, i):
                tokens.append(Token("punct", p, i, i + len(p), line))
                i += len(p)
                break
        else:
            i += 1
    return tokens


def matching(tokens):
    """Index of the partner of every bracket: (), [], {}."""
    pair, stack = {}, []
    for k, t in enumerate(tokens):
        if t.kind != "punct":
            continue
        if t.text in "([{":
            stack.append(k)
        elif t.text in ")]}" and stack:
            j = stack.pop()
            pair[j], pair[k] = k, j
    return pair


class Source:
    """One file's text and tokens, with what each brace opens."""

    def __init__(self, path, text):
        self.path, self.text = path, text
        self.tokens = tokenize(text)
        self.pair = matching(self.tokens)
        self.lines = text.split("\n")
        self.kind = {}    # brace index -> namespace, class, function, lambda, block, init
        self.parent = {}  # token index -> index of the innermost enclosing brace (or -1)
        self.excluded = set()  # tokens inside static_assert(...)
        self._classify()

    def t(self, k):
        return self.tokens[k].text if 0 <= k < len(self.tokens) else ""

    def _brace_kind(self, k, parent):
        prev = k - 1
        pk = self.kind.get(parent, "namespace") if parent >= 0 else "namespace"
        if pk in ("init", "class-init"):
            return "init"
        p = self.t(prev)
        while p in ("const", "noexcept", "override", "final", "mutable") or p.startswith("->"):
            prev -= 1
            p = self.t(prev)
        if p == ")":
            open_ = self.pair.get(prev, -1)
            before = self.t(open_ - 1)
            if before in ("if", "for", "while", "switch", "catch"):
                return "block"
            if before == "]":
                return "lambda"
            return "function" if pk in ("namespace", "class") else "lambda" if before == "]" else "block"
        if p == "]":
            return "lambda"
        if p in ("else", "do", "try"):
            return "block"
        if p in ("{", ";", "}", ":") or prev < 0:
            # A case label's colon or a statement's end inside code; an access
            # specifier's colon inside a class.
            if pk in ("function", "lambda", "block"):
                return "block"
            return "init" if p == ":" and pk == "class" else "block"
        # Walk back over the declaration's head to see what it declares.
        j = prev
        while j >= 0 and self.t(j) not in (";", "{", "}"):
            if self.t(j) == "namespace" or self.tokens[j].kind == "string" and self.t(j - 1) == "extern":
                return "namespace"
            if self.t(j) in ("struct", "class", "union"):
                return "class"
            if self.t(j) == "enum":
                return "init"
            j -= 1
        return "init"

    def _classify(self):
        stack, brackets = [], []
        self.bracketed = set()  # tokens inside ( ) or [ ] within their brace
        for k, tok in enumerate(self.tokens):
            self.parent[k] = stack[-1] if stack else -1
            if brackets and brackets[-1] != "{":
                self.bracketed.add(k)
            if tok.kind != "punct":
                continue
            if tok.text == "{":
                kind = self._brace_kind(k, stack[-1] if stack else -1)
                # Inside parentheses a brace is a lambda's body or a list.
                self.kind[k] = "init" if k in self.bracketed and kind != "lambda" else kind
                stack.append(k)
            elif tok.text == "}" and stack:
                stack.pop()
            if tok.text in "([{":
                brackets.append(tok.text)
            elif tok.text in ")]}" and brackets:
                brackets.pop()
        for k, tok in enumerate(self.tokens):
            if tok.text == "static_assert" and self.t(k + 1) == "(" and k + 1 in self.pair:
                self.excluded.update(range(k, self.pair[k + 1] + 1))

    def in_code(self, k):
        """Whether token k is inside a function's (or lambda's) body."""
        b = self.parent[k]
        while b >= 0:
            kind = self.kind[b]
            if kind in ("function", "lambda"):
                return True
            if kind in ("namespace", "class"):
                return False
            b = self.parent[b]
        return False

    def enclosing_function(self, k):
        b = self.parent[k]
        while b >= 0 and self.kind[b] not in ("function", "lambda", "namespace", "class"):
            b = self.parent[b]
        return b if b >= 0 and self.kind[b] in ("function", "lambda") else -1

    # Statements: a start directly inside a function, lambda or block brace,
    # running to its ';' at the same depth, with no brace of its own.
    def statements(self):
        for k, tok in enumerate(self.tokens):
            if k in self.excluded or k in self.bracketed or not self.in_code(k):
                continue
            b = self.parent[k]
            if self.kind.get(b) not in ("function", "lambda", "block"):
                continue
            prev = self.t(k - 1)
            control = False
            if prev == ")":
                open_ = self.pair.get(k - 1, -1)
                if self.t(open_ - 1) not in ("if", "for", "while", "switch"):
                    continue
                control = True
            elif prev in ("else", "do"):
                control = True
            elif prev == ":":
                if not self._ends_label(k - 1):
                    continue
            elif prev not in ("{", ";", "}"):
                continue
            if prev == ";" and self._inside_for_head(k - 1):
                continue
            if tok.text in ("else", "catch", "case", "default", "{", "}", "public", "private",
                            "protected") or (tok.kind == "ident" and self.t(k + 1) == ":"):
                continue
            if tok.text == "while" and prev == "}" and self.kind.get(self.pair.get(k - 1)) == "block" \
                    and self.t(self.pair.get(k - 1, 0) - 1) == "do":
                continue
            end, j = None, k
            while j < len(self.tokens):
                tj = self.t(j)
                if tj in ("(", "["):
                    j = self.pair.get(j, len(self.tokens))
                elif tj == "{" or tj == "}":
                    break
                elif tj == ";":
                    end = j
                    break
                j += 1
            if end is not None:
                yield k, end, control

    def _ends_label(self, colon):
        # "case X:", "default:", "label:" as a statement's start.
        j = colon - 1
        while j >= 0 and self.t(j) not in (";", "{", "}", ":", "case", "default"):
            j -= 1
        if self.t(j) in ("case", "default"):
            return True
        return j == colon - 2 and self.tokens[colon - 1].kind == "ident" and self.t(j) != "?"

    def _inside_for_head(self, k):
        b = self.parent[k]
        # A ';' inside parentheses is never at statement level; the parentheses
        # are not braces, so look for an unclosed '(' back to the brace.
        depth, j = 0, k - 1
        while j > b:
            if self.t(j) == ")":
                depth += 1
            elif self.t(j) == "(":
                if depth == 0:
                    return True
                depth -= 1
            j -= 1
        return False


def line_span(src, first, last):
    """The text of the whole lines from token first to token last."""
    a = src.text.rfind("\n", 0, src.tokens[first].start) + 1
    b = src.text.find("\n", src.tokens[last].end)
    return a, len(src.text) if b < 0 else b


class Site:
    """One place where an operator applies: a change of text [start, end)."""

    def __init__(self, src, op, line, start, end, choices):
        self.src, self.op, self.line, self.start, self.end = src, op, line, start, end
        self.choices = choices  # the replacements this site can take (one is drawn)

    def context(self):
        """The last line with text before the site's line, stripped: what tells
        apart two sites whose own lines read the same."""
        for line in reversed(self.src.lines[:self.line - 1]):
            if line.strip():
                return line.strip()
        return ""

    def change(self, replacement):
        """(new text of the file, lines before, lines after) for a replacement."""
        text = self.src.text
        new = text[:self.start] + replacement + text[self.end:]
        a = text.rfind("\n", 0, self.start) + 1
        b = text.find("\n", self.end)
        b = len(text) if b < 0 else b
        before = text[a:b]
        after = new[a:b + len(replacement) - (self.end - self.start)]
        return new, before, after


def keep_lines(old, new):
    """new, followed by old's line breaks, so that no line moves."""
    return new + "\n" * old.count("\n")


def callee_start(src, k):
    """Start of the callee name whose '(' is token k, or -1 when it is none."""
    j = k - 1
    if src.tokens[j].kind != "ident" or src.t(j) in KEYWORDS:
        return -1
    while src.t(j - 1) in ("::", ".", "->") and src.tokens[j - 2].kind == "ident":
        j -= 2
    return j


def is_declaration_head(src, j):
    """Whether what ends just before token j names a type (a declaration)."""
    p = src.tokens[j - 1] if j > 0 else None
    if p is None:
        return False
    if p.kind == "ident" and p.text not in ("return", "case", "else", "do", "throw"):
        return True
    if p.text == ">":
        return True
    if p.text in ("*", "&", "&&", "~") and j > 1 and (src.tokens[j - 2].kind == "ident" or src.t(j - 2) == ">"):
        return src.t(j - 2) not in ("return", "case")
    return False


def split_arguments(src, open_, close):
    args, start, j = [], open_ + 1, open_ + 1
    while j < close:
        tj = src.t(j)
        if tj in ("(", "[", "{"):
            j = src.pair.get(j, close)
        elif tj == ",":
            args.append((start, j - 1))
            start = j + 1
        j += 1
    if start <= close - 1:
        args.append((start, close - 1))
    return args


def find_sites(path, text):
    src = Source(path, text)
    toks, sites = src.tokens, []
    for k, tok in enumerate(toks):
        if k in src.excluded or tok.kind not in ("punct", "number", "ident"):
            continue
        code = src.in_code(k)
        # A comparison; < and > only as written between spaces, as the code's
        # format writes them (never a template's brackets).
        if tok.kind == "punct" and tok.text in FLIP and src.t(k - 1) != "operator":
            spaced = text[tok.start - 1:tok.start] == " " and text[tok.end:tok.end + 1] == " "
            if tok.text in ("==", "!=", "<=", ">=") or spaced:
                sites.append(Site(src, "comparison", tok.line, tok.start, tok.end, [FLIP[tok.text]]))
        # An integer literal, anywhere in code or in a declaration's value.
        if tok.kind == "number" and re.fullmatch(r"(0[xX][0-9a-fA-F']+|0[bB][01']+|\d[\d']*)[uUlL]*", tok.text):
            sites.append(Site(src, "constant", tok.line, tok.start, tok.end, moved_by_one(tok.text)))
        # An if's or a while's condition.
        if tok.text in ("if", "while") and code and src.t(k + 1) == "(" and k + 1 in src.pair:
            close = src.pair[k + 1]
            if close > k + 2:
                a, b = toks[k + 2].start, toks[close - 1].end
                sites.append(Site(src, "negate-condition", tok.line, a, b, ["!(" + text[a:b] + ")"]))
        # A call with two arguments or more, of different text.
        if tok.text == "(" and code and k in src.pair:
            start = callee_start(src, k)
            if start >= 0 and not is_declaration_head(src, start) and src.t(k - 1) not in \
                    ("if", "while", "for", "switch", "sizeof", "alignof", "decltype"):
                args = split_arguments(src, k, src.pair[k])
                texts = [text[toks[a].start:toks[b].end] for a, b in args]
                if len(args) >= 2 and len(set(texts)) >= 2:
                    a, b = toks[k + 1].start, toks[src.pair[k] - 1].end
                    choices = []
                    for i in range(len(args)):
                        for j in range(i + 1, len(args)):
                            if texts[i] != texts[j]:
                                choices.append(swapped(text, toks, args, i, j, a, b))
                    sites.append(Site(src, "swap-arguments", tok.line, a, b, choices))
    # Statements: dropped, or an early return put before them.
    for k, end, control in src.statements():
        if end == k:
            continue
        first = toks[k]
        body = [t.text for t in toks[k:end]]
        a, b = first.start, toks[end].end
        old = text[a:b]
        dropped = keep_lines(old, "(void)0;")
        if is_call_statement(src, k, end):
            sites.append(Site(src, "drop-call", first.line, a, b, [dropped]))
        elif is_assignment_statement(src, k, end, body):
            sites.append(Site(src, "drop-assignment", first.line, a, b, [dropped]))
        if not control and first.text != "return":
            values = early_returns(src, k)
            if values:
                sites.append(Site(src, "return-early", first.line, a, a,
                                  [f"return{' ' + v if v else ''}; " for v in values]))
    return sites


def moved_by_one(literal):
    m = re.fullmatch(r"(0[xX]|0[bB])?([0-9a-fA-F']+)([uUlL]*)", literal)
    prefix, digits, suffix = m.group(1) or "", m.group(2).replace("'", ""), m.group(3)
    base = 16 if prefix.lower() == "0x" else 2 if prefix.lower() == "0b" else 8 \
        if len(digits) > 1 and digits[0] == "0" else 10
    value = int(digits, base)
    out = []
    for v in ([value + 1, value - 1] if value > 0 else [value + 1]):
        if base == 16:
            s = format(v, "X" if digits.upper() == digits and any(c.isalpha() for c in digits) else "x")
            s = s.zfill(len(digits))
            if digits.isdigit() and not s.isdigit():
                s = s.upper() if digits.upper() == digits else s
        elif base == 2:
            s = format(v, "b").zfill(len(digits))
        elif base == 8:
            s = "0" + format(v, "o")
        else:
            s = str(v)
        out.append(prefix + s + suffix)
    return out


def swapped(text, toks, args, i, j, a, b):
    parts = [text[toks[x].start:toks[y].end] for x, y in args]
    seps = [text[toks[args[n][1]].end:toks[args[n + 1][0]].start] for n in range(len(args) - 1)]
    parts[i], parts[j] = parts[j], parts[i]
    out = parts[0]
    for n in range(1, len(parts)):
        out += seps[n - 1] + parts[n]
    return out


def is_call_statement(src, k, end):
    # name(...); name.name(...); name->name(...); ns::name(...);
    if src.t(end - 1) != ")" or src.tokens[k].kind != "ident" or src.t(k) in KEYWORDS:
        return False
    open_ = src.pair.get(end - 1, -1)
    return open_ > k and callee_start(src, open_) == k


def is_assignment_statement(src, k, end, body):
    if body[0] in ("++", "--") and all(t not in ASSIGN for t in body):
        return len(body) >= 2 and src.tokens[k + 1].kind == "ident"
    if body[-1] in ("++", "--") and all(t not in ASSIGN for t in body):
        return src.tokens[k].kind == "ident" and body[0] not in KEYWORDS
    depth = 0
    for n, t in enumerate(body):
        if t in ("(", "[", "{"):
            depth += 1
        elif t in (")", "]", "}"):
            depth -= 1
        elif depth == 0 and t in ASSIGN:
            lhs = src.tokens[k:k + n]
            if not lhs or lhs[0].text in KEYWORDS and lhs[0].text != "this":
                return False
            for x, y in zip(lhs, lhs[1:]):
                # Two names side by side, or a type's '*' or '&' before a
                # name: a declaration, which cannot go.
                if x.kind == "ident" and y.kind == "ident":
                    return False
                if x.text == ">" or x.kind == "ident" and y.text in ("*", "&") and y is not lhs[-1]:
                    return False
            return True
    return False


def early_returns(src, k):
    """What an early return at statement k may give back: nothing for a
    function that returns nothing; else each constant the same function
    returns somewhere (a literal, a named constant, true, false, nullptr)."""
    body = src.enclosing_function(k)
    if body < 0 or src.kind[body] != "function":
        return []
    # The head: from the ')' before the body back to the name and its type.
    close = body - 1
    while src.t(close) in ("const", "noexcept", "override", "final"):
        close -= 1
    if src.t(close) != ")":
        return []
    open_ = src.pair.get(close, -1)
    j = open_ - 1
    while src.t(j - 1) == "::":
        j -= 2
    head = []
    n = j - 1
    while n >= 0 and src.t(n) not in (";", "{", "}", ")", ">", ":") and src.tokens[n].kind != "string":
        head.append(src.t(n))
        n -= 1
    head = [h for h in head if h not in CALLING and h not in ("[", "]", "nodiscard", "maybe_unused")]
    if head == ["void"] or head == [] or src.t(j - 1) == "~":
        return [""]
    values = []
    end = src.pair.get(body, len(src.tokens))
    for m in range(body + 1, end):
        if src.t(m) == "return" and src.enclosing_function(m) == body and src.t(m + 2) == ";":
            v = src.tokens[m + 1]
            if v.kind == "number" or v.text in ("true", "false", "nullptr", "TRUE", "FALSE") or \
                    v.kind == "ident" and re.fullmatch(r"k[A-Z]\w*|[A-Z][A-Z0-9_]+", v.text):
                if v.text not in values:
                    values.append(v.text)
        elif src.t(m) == "return" and src.t(m + 1) == "-" and src.tokens[m + 2].kind == "number" \
                and src.t(m + 3) == ";" and src.enclosing_function(m) == body:
            v = "-" + src.t(m + 2)
            if v not in values:
                values.append(v)
    return values


def sources(base=root):
    out = []
    for folder in FOLDERS:
        d = os.path.join(base, folder)
        for name in sorted(os.listdir(d)):
            if name.endswith((".cpp", ".h")):
                out.append(f"{folder}/{name}")
    return out


def all_sites(base=root, files=None):
    sites = []
    for rel in files or sources(base):
        text = open(os.path.join(base, rel), encoding="utf-8").read()
        src_sites = find_sites(rel, text)
        sites.extend(src_sites)
    return sites


if __name__ == "__main__":
    files = sys.argv[1:] or None
    for s in all_sites(root, files):
        for choice in s.choices[:1]:
            _, before, after = s.change(choice)
            print(f"{s.src.path}:{s.line}: {s.op}: {before.strip()!r} -> {after.strip()!r}")
