#!/usr/bin/env bash
# End-to-end tests of the qxrun program, one line per run: exit status, expected output and the
# arguments. Usage: qxrun_e2e.sh PATH_TO_QXRUN GROUP   (CTest runs each group; see CMakeLists.txt)
set -u
QXRUN=$1
GROUP=$2
HERE=$(cd "$(dirname "$0")" && pwd)
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
cd "$WORK" || exit 1
failures=0

bad() {
    echo "FAIL [$GROUP]: $1" >&2
    echo "--- stdout:" >&2; cat out.txt >&2
    echo "--- stderr:" >&2; cat err.txt >&2
    failures=$((failures + 1))
}
# has WANT: WANT (with \n escapes) is in standard output followed by standard error; a leading
# ^ anchors it at the start, a trailing $ at the end (both: the whole output).
has() {
    local want head='*' tail='*'
    want=$(printf '%b' "$1")
    [[ $want == ^* ]] && head='' && want=${want#^}
    [[ $want == *\$ ]] && tail='' && want=${want%\$}
    [[ $(cat out.txt err.txt) == $head"$want"$tail ]] || bad "the output lacks: $want"
}
# t STATUS WANT ARGS...: runs qxrun ARGS with the text $IN (default: nothing) as standard input
# and checks its exit status and output.
t() {
    local want=$2 code=$1
    shift 2
    printf '%s' "${IN-}" | timeout 60 "$QXRUN" "$@" >out.txt 2>err.txt
    status=${PIPESTATUS[1]}
    [ "$status" = "$code" ] || bad "exit status $status, expected $code: $*"
    has "$want"
}
# u MESSAGE ARGS...: a usage error, reported before anything else is written.
u() { t 64 "^qxrun: $1" "${@:2}"; }

group_scripts() {
    t 0 '^[ 1,  -2.5,     3;\n 10, 0.125, 1e+20]\nx = 3;\nm = [ 1,  -2.5,     3;\n     10, 0.125, 1e+20];\nr = [  -5;\n     0.25];\nk = [7, -8];$' \
        -e 'double x, m[2][3], r[]; int k[1][2];
x = 3; m = [1, -2.5, 3; 10, 0.125, 1e20]; r = m[*][1] .* 2; k = [7.9, -8.2]; print(m);'
    # The listing, pasted after the declarations, compiles back to the same listing.
    decl='double m[3][2], s;'
    t 0 's = ' -e "$decl m = [0.1, -1e-300; 1 / 3, 12345.5; -7, 2 ^ 0.5]; s = m.sum;"
    listing=$(cat out.txt)
    t 0 "^$listing\$" -e "$decl $listing"
    # Clipping holds 1e999 at the largest double; without it NaN and the infinities have no text.
    t 0 '^// n cannot be written as qx text (it holds inf or nan):\n// n = nan;\n// v cannot be written as qx text (it holds inf or nan):\n// v = [1, inf, -inf];$' \
        --no-clipping -e 'double n, v[1][3]; n = linspace(0, 1, 1); v = [1, 1e999, -1e999];'
    t 0 '^x = 1.7976931348623157e+308;$' -e 'double x; x = 1 / 0;'
    t 2 '^Interpreter Error:  on line 1, position 18. Division by zero\n  1 | double x; x = 1 / 0;\n    |                   ^$' \
        --no-smart-error -e 'double x; x = 1 / 0;'
    t 0 '^3\nb = 2;\npi = 3.141592653589793;$' --print b --print=pi -e 'double b; b = 2; print(b + 1);'
    # puts writes a string as text; the codes of a non-ASCII literal give its bytes back.
    t 0 '^x =\n2\n3.142\nété$' --quiet --print x \
        -e 'double x; x = 2; puts("x ="); print(x); puts(tostr(pi, 3)); puts("été");'
    t 2 '^Interpreter Error:  puts needs a string (one row of character codes)\n  in puts, called at line 1$' -e 'puts([1; 2]);'
    # Host variables: clipped into their types, listed only on request, free to take a constant's name.
    t 0 '^b = [255, 0;\n       2, 7];\nr = [1, 2, 3];\nf = 0.1;\nd = [1, 1, 1];$' --var b=byte[2][2] --var r=short[] \
        --var f=float --var=d=double[1][3] -e 'b = [300, -4; 2.7, 7]; r = [1, 2, 3]; f = 0.1; d = d + 1;' \
        --print b --print r --print f --print d
    t 0 '^own = 5;$' --var h=int -e 'h = 5; double own; own = h;'
    t 0 '^pi = 3;$' --var pi=int -e 'pi = 3;' --print pi
    t 0 '^b = 44;$' --var b=byte --no-clipping -e 'b = 300;' --print b
    t 0 '^$' --quiet --var m=byte[8192][8192] -e ''
    t 0 '^// variable "a b\\x01" = [0;\n//                       5];$' \
        -e 'addVarByName([97, 32, 98, 1], 2, 1, dtDOUBLE); setVarByName([97, 32, 98, 1], [0; 5]);'
    # The script comes from a file (also after --), from standard input (also without a script
    # and without a terminal), or from -e.
    printf 'double a;\na = 2 * 21;\n' >-s.qx
    t 0 '^a = 42;$' -- -s.qx
    IN=$(cat -- -s.qx) t 0 '^a = 42;$' -
    IN=$(cat -- -s.qx) t 0 '^a = 42;$'
    t 0 '^usage: qxrun' --help --bogus
    has '64 usage error'
    t 0 '^usage: qxrun' -h
    t 0 '^qxrun ' --version
    grep -qE '^qxrun [0-9]+\.[0-9]+\.[0-9]+$' out.txt || bad "no version number"
    t 0 '^[3, 3, 18, 5, 2]\n' "$HERE/../../examples/demo.qx"
    t 0 '^main: 2 instructions\n   0  [1:18]    otMUL          A=2  B=x  R=t0\n   1  [1:19]    otASSIGN       A=x  B=t0$' \
        --disasm -e 'double x; x = 2 * x;'
    t 1 '^Unknown Identifier on line 1' --disasm -e 'x = ;'
}

group_errors() {
    t 1 '^Unknown Identifier on line 1, position 16. \nName= foo\n  1 | double x; x = foo + 1;\n    |               ^$' \
        -e 'double x; x = foo + 1;'
    # The caret stands under the token on later lines, after a tab, after a comment's line break
    # and at the end of the text.
    t 1 '^Syntaxerror on line 2, position 10. unexpected symbol\n  2 |   a = a +* 2;\n    |          ^$' \
        -e $'double a;\n  a = a +* 2;'
    t 1 '  2 | \ta = ;\n    | \t    ^$' -e $'double a;\n\ta = ;'
    t 1 '^Syntaxerror on line 2, position 8. unexpected symbol\n  2 |  */ a = ;\n    |         ^$' \
        -e $'double a; /* x\n */ a = ;'
    t 1 '^Syntaxerror on line 2, position 12. unexpected symbol\n  2 |   a = [1, 2;\n    |            ^$' \
        -e $'double a;\n  a = [1, 2;'
    t 2 '^Interpreter Error:  on line 3, position 14. Row-Index out of Range accessing Variable m\n  3 |   m[i][0] = i;\n    |   ^\nnote: m is a 2×2 double$' \
        -e $'double m[2][2], i;\nfor (i = 0; i < 3; i++;) {\n  m[i][0] = i;\n}'
    # Inside a function body the name may be a parameter or a local: no note, but the calls.
    t 2 '^Interpreter Error:  on line 2, position 40. Column-Index out of Range accessing Variable m\n  2 | func f(m[1][1]) { double t; t = m[0][3]; return t; }\n    |                                 ^\n  in f, called at line 3$' \
        -e $'double m[2][2];\nfunc f(m[1][1]) { double t; t = m[0][3]; return t; }\nm = f(1);'
    t 2 '^Interpreter Error:  Size of Parameter must be NxN in Function inverse\n  in inverse, called at line 3\n  in g, called at line 5$' \
        -e $'double m[2][3], r;\nfunc g(x[2][3]) {\n  return inverse(x);\n}\nr = 1 + g(m);'
    t 2 'sqrt(x) undefined, if x < 0\n' --no-smart-error -e 'double x; x = sqrt(-1);'
    # Storage that cannot be allocated (here beyond the library's cap, so that no allocator,
    # sanitized or not, is asked): the library's text, a hint, and the status 70.
    t 70 '^Interpreter Error:  on line 1, position 40. Unknown Exception\n  1 | double z[]; z = zeros(10000000, 10000000);\n    |                                         ^\n  in zeros, called at line 1\nhint: out of memory: the values are too large to allocate$' \
        -e 'double z[]; z = zeros(10000000, 10000000);'
    t 1 '^Syntaxerror on line 3, position 0. colon expected\n  3 | b = 2;\n    | ^\nhint: a \x27;\x27 is missing at the end of line 2$' -e $'double a, b;\na = 1\nb = 2;'
    t 2 '^Interpreter Error:  on line 1, position 8. Instruction limit exceeded' --max-instructions 100 -e 'while (1) { }'
    # Ctrl-C interrupts the running script: a run-time error, not the end of qxrun.
    "$QXRUN" -e 'double k; while (1) { k++; }' >out.txt 2>err.txt &
    pid=$!
    for _ in $(seq 50); do sleep 0.2; kill -INT "$pid" 2>/dev/null || break; done; kill -KILL "$pid" 2>/dev/null
    wait "$pid"
    [ $? = 2 ] && grep -qF Interrupted err.txt || bad "Ctrl-C did not interrupt the script"
}

group_usage() {
    u "unknown option '--frobnicate'" --frobnicate
    u "unknown option '-x'" -x
    u "unknown option '--bogus'" --bogus --help
    u "--print needs a value" --print
    u "-e needs a value" -e
    u "--print: '1x' is not a variable name" --print 1x
    u "--load: expected NAME=..., got 'm'" --load m
    u "--save: no file name for 'm'" --save m=
    u "only one script may be given" a.qx b.qx
    u "only one script may be given" -e 'x;' -
    u "-i cannot be combined with a script" -i a.qx
    u "--print, --save and --quiet apply to a script, not to the interactive session" -i --quiet
    u "--disasm applies to a script, not to the interactive session" --disasm -i
    for n in -3 ''; do u "--max-instructions: '$n' is not a number of instructions" --max-instructions="$n"; done
    u "--var: unknown type 'long' (byte, short, int, float or double)" --var x=long[2][2]
    for name in '' 2m for; do u "--var: '$name' is not a variable name" --var "$name=double"; done
    for bad in 'm=double[2]' 'm=double[0][1]' 'm=double[1][-1]' 'm=double[a][1]' 'm=double[1][1]x' \
        'm=double[ 1][1]' 'm=double[99999999999999999999][1]' 'm=byte[8193][8192]'; do
        u "--var: bad size in '$bad' (expected [ROWS][COLS] from 1 to 67108864 values, or [])" --var "$bad"
    done
    # Found while setting up the run.
    printf '1,2\n3\n' >ragged.csv
    printf '1\n' >one.csv
    u "--var: the name 'x' is taken" --var x=int --var x=double -e ''
    u "--load: the name 'x' is taken" --var x=int --load x=one.csv -e ''
    u "--load: ragged.csv: line 2: 1 value, but the first row has 2 values" --load m=ragged.csv -e ''
    u "--load: missing.csv: cannot read the file" --load m=missing.csv -e ''
    u "missing.qx: cannot read the script" missing.qx
    # Found after the run, before anything is listed or saved; an unwritable file only at the end.
    u "--save: no variable 'zz'" --save a=o.csv --save zz=o.csv -e 'double a;'
    [ ! -e o.csv ] || bad "a file was written although a --save name is unknown"
    u "--print: no variable 'zz'" --print zz -e 'double a;'
    t 64 "^a = 0;\nqxrun: --save: /nonexistent/o.csv: cannot write the file" --save a=/nonexistent/o.csv -e 'double a;'
}

group_csv() {
    # Blanks, signs, tabs and line endings are read; saved values load back bit for bit.
    printf ' 1, -2.5 ,+3\r\n4e-3,\t5,  -0\r\n\n  \n' >in.csv
    t 0 '^$' --load m=in.csv --save m=m.csv --var b=byte[1][2] --save=b=b.csv --save v=v.csv \
        --quiet -e 'double v[1][4]; v = [0.1, -2.5e-310, 1 / 3, 1e300 * 1e300]; b = [200, 7];'
    [ "$(cat m.csv b.csv v.csv)" = "$(printf '1,-2.5,3\n0.004,5,-0\n200,7\n0.1,-2.5e-310,0.3333333333333333,1.7976931348623157e+308')" ] ||
        bad "saved values differ: $(cat m.csv b.csv v.csv)"
    t 0 '^$' --load v=v.csv --save v=again.csv --quiet -e ''
    cmp -s v.csv again.csv || bad "save, load and save again changed the values"
    printf 'inf,-inf,nan\n' >special.csv
    t 0 '^// w cannot be written as qx text (it holds inf or nan):\n// w = [inf, -inf, nan];$' --load w=special.csv --print w -e ''
}

group_repl() {
    # The commands; entries continue while a bracket is open and errors show the line of their own
    # entry; :clear forgets the variables, :quit ends the session.
    IN=$'double a, b[];\na = 2;\n\nfunc twice(x) {\n  return x * 2;\n}\nb = [twice(a),\n     3];
:vars\nq = 1;\n:print b\n:print zz\n:print\n:frobnicate\ndouble m[2][2];\nm[5][0] = 1;\nprint(b.sum);
:help twice\n:load\n:load missing.qx\n:clear\nprint(a);\ndouble a;\n:quit\nprint(99);' \
        t 1 '^a = 0;\nb = 0;\na = 2;\nb = [4, 3];\n// constants: pi, euler, dtBYTE, dtSHORT, dtINT, dtFLOAT, dtDOUBLE, fftAMPLITUDE, fftPHASE, fftPOWER, fftNONE, fftLOG\n' -i
    has 'fftLOG\nb = [4, 3];\nm = [0, 0;\n     0, 0];\n7\ntwice(x)\n  defined in this session\na = 0;\nUnknown Identifier on line 1, position 0. \nName= q\n  1 | q = 1;\n    | ^\nhint: a variable is declared before it is used: double q;'
    has "\nno variable 'zz'\nusage: :print NAME\nunknown command ':frobnicate' (try :help)\n"
    has 'Interpreter Error:  on line 1, position 11. Row-Index out of Range accessing Variable m\n  1 | m[5][0] = 1;\n    | ^\nnote: m is a 2×2 double\n'
    has 'usage: :load FILE\nqxrun: missing.qx: cannot read the script\nUnknown Identifier on line 1, position 6. \nName= a\n  1 | print(a);\n    |       ^$'
    # Bare expressions and names show their value, a missing ';' is added, a function defined
    # again replaces the old one (its callers are compiled again or dropped), :load reloads. A
    # run-time error inside a function of an earlier entry shows that entry's line; an entry
    # left open at the end of the input is compiled and its error shown.
    printf 'double a[1][2], r[];\na = [h, 2];\nfunc g(x) { return x - 1; }\n' >prog.qx
    IN=$'double a;\na = 3\na\na * 2;\n(1 +\n  2)\na[0][7] + 1\nh = 5
func f(x) { return x + 1; }\nfunc g(x) { return f(x) * 10; }\ng(1)
func f(x) { return x + 100; }\ng(1)\nfunc f(x) { return x +; }\nf(1)\nfunc f(x, y) { return x; }
:help rowins\n:help zzz\n:funcs\nputs("done")\n:load prog.qx\na\nh\ng(1)
func w(x) { double t[2][2]; return t[3][0]; }\nw(1);\n:help\nif (1) {' \
        t 1 '^a = 0;\n3\n6\n3\n20\n1010\n101\nrowins(A, B, pos)\n  A with the rows of B inserted before row pos\nf(x, y)\nqxrun: print puts\n' --var h=int -i
    has '\nstandard: sin cos tan asin acos atan atan2 fabs exp log10 log log2 floor ceil fmod modf sqrt pow zeros ones identity linspace rand srand rowins colins rowdel coldel transpose sort where tostr addVarByName getVarByName setVarByName min max median inverse eigens eigena\ndone\na = [5, 2];\nr = 0;\n[5, 2]\n5\n0\nEach entry'
    has '  :clear '
    has '\nInterpreter Error:  on line 1, position 10. Column-Index out of Range accessing Variable a\n  1 | a[0][7] + 1\n    | ^\nnote: a is a 1×1 double\nSyntaxerror on line 1, position 22. unexpected symbol\n  1 | func f(x) { return x +; }\n    |                       ^\n'
    has "qxrun: g was dropped, it no longer compiles: Syntaxerror on line 1, position 22. function needs more arguments\nno function, method, keyword or operator 'zzz' (try :funcs)\n"
    has 'Interpreter Error:  on line 1, position 42. Row-Index out of Range accessing Variable t\n  1 | func w(x) { double t[2][2]; return t[3][0]; }\n    |                                    ^\n  in w, called at line 1\nSyntaxerror on line 1, position 7. unexpected end. missing bracket?\n  1 | if (1) {\n    |        ^\nhint: the \x27{\x27 on line 1, column 8 is not closed; a \x27}\x27 is missing$'
}

group_retry() {
    # A failed entry leaves nothing behind, so the mended entry compiles; so does a failed
    # :load. A bare unknown name is reported where the name ends. A run-time error inside
    # functions of earlier entries shows the line of the entry that defined the function and
    # the calls that led there. Without a terminal the status is that of the last failure.
    printf 'double p, q;\nfunc bad() { return 1 +; }\n' >broken.qx
    IN=$'double a, b; a = 1 +;\ndouble a, b; a = 1 + 2;\nfoo\n:load broken.qx\ndouble p;
func inner(m[2][2]) {\n  return m[5][0];\n}\nfunc outer(x) { return inner(x) + 1; }\nouter(1)' \
        t 2 '^a = 3;\nb = 0;\np = 0;\nSyntaxerror on line 1, position 20. unexpected symbol\n  1 | double a, b; a = 1 +;\n    |                     ^\nUnknown Identifier on line 1, position 2. \nName= foo\n  1 | foo\n    | ^\nSyntaxerror on line 2, position 24. unexpected symbol\n  2 | func bad() { return 1 +; }\n    |                        ^\nInterpreter Error:  on line 2, position 17. Row-Index out of Range accessing Variable m\n  2 |   return m[5][0];\n    |          ^\n  in inner, called at line 1\n  in outer, called at line 1$' -i
    IN=$'double z;\nz = 1;' t 0 '^z = 0;$' -i
}

group_terminal() {
    # Ctrl-C, completion and history need a terminal: a pseudo-terminal driven by Python.
    editline=0
    ldd "$QXRUN" | grep -q 'libedit\.so' && editline=1
    mkdir home
    python3 "$HERE/repl_terminal.py" "$QXRUN" "$WORK/home" "$editline" >out.txt 2>err.txt ||
        bad "the terminal session failed"
}

"group_$GROUP"
[ "$failures" = 0 ] && echo "ok [$GROUP]"
