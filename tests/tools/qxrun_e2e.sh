#!/usr/bin/env bash
# End-to-end tests of the qxrun program: runs it on scripts, texts, standard input and REPL
# sessions and checks standard output, standard error and the exit status.
# Usage: qxrun_e2e.sh PATH_TO_QXRUN CASE   (CTest runs one CASE per test; see CMakeLists.txt)
set -u
QXRUN=$1
CASE=$2
HERE=$(cd "$(dirname "$0")" && pwd)
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
cd "$WORK" || exit 1

fail() {
    echo "FAIL [$CASE]: $*" >&2
    echo "--- stdout:" >&2; cat out.txt >&2
    echo "--- stderr:" >&2; cat err.txt >&2
    exit 1
}
# run ARGS...: runs qxrun with standard input from $IN (default: nothing).
run() {
    "$QXRUN" "$@" <"${IN:-/dev/null}" >out.txt 2>err.txt
    status=$?
}
status_is() { [ "$status" -eq "$1" ] || fail "exit status $status, expected $1"; }
# The expected text comes on standard input (a here-document).
out_is() { cat >want.txt; diff -u want.txt out.txt >&2 || fail "standard output differs"; }
err_is() { cat >want.txt; diff -u want.txt err.txt >&2 || fail "standard error differs"; }
out_empty() { [ ! -s out.txt ] || fail "standard output not empty"; }
err_empty() { [ ! -s err.txt ] || fail "standard error not empty"; }
usage_error() {  # ARGS... then the expected message as $MSG
    run "$@"
    status_is 64
    out_empty
    grep -qF -- "$MSG" err.txt || fail "standard error lacks: $MSG"
}

case_success_listing() {
    cat >demo.qx <<'EOF'
// Declares four variables of different shapes and types.
double x, m[2][3], r[];
int k[1][2];
x = 3;
m = [1, -2.5, 3; 10, 0.125, 1e20];
r = m[*][1] .* 2;
k = [7.9, -8.2];
print(m[0][*]);
EOF
    run demo.qx
    status_is 0
    err_empty
    out_is <<'EOF'
[1, -2.5, 3]
x = 3;
m = [ 1,  -2.5,     3;
     10, 0.125, 1e+20];
r = [  -5;
     0.25];
k = [7, -8];
EOF
}

case_listing_is_qx_text() {
    run -e 'double m[3][2], s; m = [0.1, -1e-300; 1 / 3, 12345.5; -7, 2 ^ 0.5]; s = m.sum;'
    status_is 0
    # The listing, pasted after the declarations, recompiles to the same listing.
    { echo 'double m[3][2], s;'; cat out.txt; } >again.qx
    cp out.txt first.txt
    run again.qx
    status_is 0
    diff -u first.txt out.txt >&2 || fail "the listing did not read back to the same values"
    # NaN and the infinities have no qx text (clipping holds 1e999 at the largest double): their
    # listing says so in comment lines, and the pasted listing still compiles.
    run --no-clipping -e 'double n, v[1][3]; n = linspace(0, 1, 1); v = [1, 1e999, -1e999];'
    status_is 0
    out_is <<'EOF'
// n cannot be written as qx text (it holds inf or nan):
// n = nan;
// v cannot be written as qx text (it holds inf or nan):
// v = [1, inf, -inf];
EOF
    { echo 'double n, v[1][3];'; cat out.txt; } >again.qx
    run again.qx
    status_is 0
}

case_compile_error() {
    printf 'double a;\na = 1\nb = 2;\n' >bad.qx
    run bad.qx
    status_is 1
    out_empty
    err_is <<'EOF'
Syntaxerror on line 3, position 0. colon expected
  3 | b = 2;
    | ^
EOF
    run -e 'double x; x = foo + 1;'
    status_is 1
    err_is <<'EOF'
Unknown Identifier on line 1, position 13. 
Name= foo
  1 | double x; x = foo + 1;
    |               ^
EOF
    # The caret stands under the token on later lines too, also after a comment's line break.
    printf 'double a;\n  a = a +* 2;\n' >bad.qx
    run bad.qx
    err_is <<'EOF'
Syntaxerror on line 2, position 10. unexpected symbol
  2 |   a = a +* 2;
    |          ^
EOF
    run -e $'double a; /* x\n */ a = ;'
    err_is <<'EOF'
Syntaxerror on line 2, position 8. unexpected symbol
  2 |  */ a = ;
    |         ^
EOF
}

case_runtime_error() {
    printf 'double m[2][2], i;\nfor (i = 0; i < 3; i++;) {\n  m[i][0] = i;\n}\n' >loop.qx
    run loop.qx
    status_is 2
    out_empty
    err_is <<'EOF'
Interpreter Error:  on line 3, position 14. Row-Index out of Range accessing Variable m
  3 |   m[i][0] = i;
    |   ^
note: m is a 2×2 double
EOF
    # Inside a function body the name may be a parameter or a local: no note.
    run -e $'double m[2][2];\nfunc f(m[1][1]) { double t; t = m[0][3]; return t; }\nm = f(1);'
    status_is 2
    err_is <<'EOF'
Interpreter Error:  on line 2, position 40. Column-Index out of Range accessing Variable m
  2 | func f(m[1][1]) { double t; t = m[0][3]; return t; }
    |                                 ^
  in f, called at line 3
EOF
    # The error of a standard function carries the function's own text.
    run --no-smart-error -e 'double x; x = sqrt(-1);'
    status_is 2
    head -n 1 err.txt | grep -qE '^Interpreter Error: .* sqrt\(x\) undefined, if x < 0$' ||
        fail "no error text of sqrt"
}

case_usage_errors() {
    MSG="unknown option '--frobnicate'" usage_error --frobnicate
    MSG="--var: unknown type 'long'" usage_error --var x=long[2][2] -e ''
    MSG="--var: bad size in 'x=int[0][2]'" usage_error --var 'x=int[0][2]' -e ''
    MSG="--var: the name 'x' is taken" usage_error --var x=int --var x=double -e ''
    printf '1,2\n3\n' >ragged.csv
    MSG="--load: ragged.csv: line 2: 1 value, but the first row has 2 values" \
        usage_error --load m=ragged.csv -e ''
    printf '1,x\n' >word.csv
    MSG="--load: word.csv: line 1: field 2: not a number: x" usage_error --load m=word.csv -e ''
    MSG="--load: missing.csv: cannot read the file" usage_error --load m=missing.csv -e ''
    MSG="--save: no variable 'zz'" usage_error --save zz=o.csv -e 'double a;'
    [ ! -e o.csv ] || fail "a file was written for an unknown --save name"
    MSG="--print: no variable 'zz'" usage_error --print zz -e 'double a;'
    MSG="only one script may be given" usage_error a.qx b.qx
    MSG="missing.qx: cannot read the script" usage_error missing.qx
    MSG="-e needs a value" usage_error -e
    MSG="-i cannot be combined with a script" usage_error -i -e 'x;'
    # A file that cannot be written is found only after the listing was printed.
    run --save a=/nonexistent/dir/o.csv -e 'double a;'
    status_is 64
    grep -qF -- "--save: /nonexistent/dir/o.csv: cannot write the file" err.txt ||
        fail "no message for an unwritable file"
}

case_help_and_version() {
    run --help
    status_is 0
    grep -q '^usage: qxrun' out.txt || fail "no usage line"
    grep -q '64 usage error' out.txt || fail "exit statuses not documented"
    run --version
    status_is 0
    grep -qE '^qxrun [0-9]+\.[0-9]+\.[0-9]+$' out.txt || fail "no version"
}

case_csv_round_trip() {
    printf -- '-1.5, 2\n0.1,-3e-5\r\n1e300, -0\n\n' >in.csv
    run --load m=in.csv --save m=out.csv --save s=scaled.csv \
        -e 'double s[3][2]; s = m * -2; m = m .* m;'
    status_is 0
    err_empty
    cat >want.csv <<'EOF'
2.25,4
0.010000000000000002,9e-10
1.7976931348623157e+308,0
3,-4
-0.2,6e-05
-2e+300,0
EOF
    cat out.csv scaled.csv >got.csv
    diff -u want.csv got.csv >&2 || fail "saved values differ"
    # Saved files load back to exactly the same values.
    cp out.csv first.csv
    run --load m=first.csv --save m=out.csv -e ''
    status_is 0
    cmp -s first.csv out.csv || fail "save, load and save again changed the values"
}

case_run_limits() {
    run --max-instructions 100 -e 'while (1) { }'
    status_is 2
    grep -qF "Interpreter Error:  on line 1, position 8. Instruction limit exceeded" err.txt \
        || fail "no instruction-limit error"
    MSG="is not a number of instructions" usage_error --max-instructions -3 -e ''
    # Ctrl-C interrupts the running script: a run-time error, not the end of the program.
    "$QXRUN" -e 'double k; while (1) { k++; }' >out.txt 2>err.txt &
    pid=$!
    for _ in $(seq 1 50); do
        sleep 0.2
        kill -INT "$pid" 2>/dev/null || break
    done
    wait "$pid"
    status=$?
    status_is 2
    grep -qF "Interrupted" err.txt || fail "no interrupt error"
}

case_print_and_quiet() {
    run --print b --print pi -e 'double a, b; a = 1; b = 2; print(a + b);'
    status_is 0
    out_is <<'EOF'
3
b = 2;
pi = 3.141592653589793;
EOF
    run --quiet -e 'double a; a = 1; print(a * 10);'
    status_is 0
    out_is <<'EOF'
10
EOF
    run --quiet -e 'double a;'
    out_empty
    # puts writes a string as text; the codes of a non-ASCII literal give its bytes back.
    run --quiet -e 'double x; x = 2; puts("x ="); print(x); puts(tostr(pi, 3)); puts("été");'
    out_is <<'EOF'
x =
2
3.142
été
EOF
    run --quiet -e 'puts([1; 2]);'
    status_is 2
    err_is <<'EOF'
Interpreter Error:  puts needs a string (one row of character codes)
  in puts, called at line 1
EOF
}

case_host_variables() {
    run --var b=byte[2][2] --var r=short[] --var f=float --var d=double[1][3] \
        -e 'b = [300, -4; 2.7, 7]; r = [1, 2, 3]; f = 0.1; d = d + 1;' \
        --print b --print r --print f --print d
    status_is 0
    out_is <<'EOF'
b = [255, 0;
       2, 7];
r = [1, 2, 3];
f = 0.1;
d = [1, 1, 1];
EOF
    # Host variables are not the script's: without --print they are not listed.
    run --var h=int -e 'h = 5; double own; own = h;'
    out_is <<'EOF'
own = 5;
EOF
    # A host variable may take the name of a standard constant.
    run --var pi=int -e 'pi = 3;' --print pi
    status_is 0
    out_is <<'EOF'
pi = 3;
EOF
}

case_language_options() {
    run --var b=byte --no-clipping -e 'b = 300;' --print b
    out_is <<'EOF'
b = 44;
EOF
    run -e 'double x; x = 1 / 0;'
    status_is 0
    out_is <<'EOF'
x = 1.7976931348623157e+308;
EOF
    run --no-smart-error -e 'double x; x = 1 / 0;'
    status_is 2
    err_is <<'EOF'
Interpreter Error:  on line 1, position 18. Division by zero
  1 | double x; x = 1 / 0;
    |                   ^
EOF
}

case_script_sources() {
    printf 'double a;\na = 2 * 21;\n' >s.qx
    run -e 'double a; a = 42;'
    out_is <<'EOF'
a = 42;
EOF
    IN=s.qx run -
    status_is 0
    out_is <<'EOF'
a = 42;
EOF
    # Without a script and without a terminal, standard input is the script.
    IN=s.qx run
    status_is 0
    out_is <<'EOF'
a = 42;
EOF
    run -- s.qx
    out_is <<'EOF'
a = 42;
EOF
}

case_repl_session() {
    cat >session.txt <<'EOF'
double a, b[];
a = 2;

func twice(x) {
  return x * 2;
}
b = [twice(a),
     3];
:vars
q = 1;
:print b
:print zz
:frobnicate
print(twice(10));
double m[2][2];
m[5][0] = 1;
print(b.sum);
:clear
print(a);
double a;
:quit
print(99);
EOF
    IN=session.txt run -i
    status_is 0
    out_is <<'EOF'
a = 0;
b = 0;
pi = 3.141592653589793;
euler = 2.718281828459045;
dtBYTE = 0;
dtSHORT = 1;
dtINT = 2;
dtFLOAT = 3;
dtDOUBLE = 4;
fftAMPLITUDE = 0;
fftPHASE = 1;
fftPOWER = 2;
fftNONE = 0;
fftLOG = 1;
a = 2;
b = [4, 3];
b = [4, 3];
20
m = [0, 0;
     0, 0];
7
a = 0;
EOF
    err_is <<'EOF'
Unknown Identifier on line 1, position 0. 
Name= q
  1 | q = 1;
    | ^
no variable 'zz'
unknown command ':frobnicate' (try :help)
Interpreter Error:  on line 1, position 11. Row-Index out of Range accessing Variable m
  1 | m[5][0] = 1;
    | ^
note: m is a 2×2 double
Unknown Identifier on line 1, position 5. 
Name= a
  1 | print(a);
    |       ^
EOF
}

case_repl_function_errors_and_end_of_input() {
    # A run-time error inside a function of an earlier entry is located in that entry's text:
    # the session shows the message without a source line. An entry left open at the end of
    # the input is compiled and its error shown.
    printf 'func g(x) { double t[2][2]; return t[3][0]; }\ng(1);\n:help\nif (1) {\n' >s.txt
    IN=s.txt run -i
    status_is 0
    grep -q '^  :clear' out.txt || fail ":help shows no commands"
    err_is <<'EOF'
Interpreter Error:  on line 1, position 42. Row-Index out of Range accessing Variable t
Syntaxerror on line 1, position 7. unexpected end. missing bracket?
  1 | if (1) {
    |        ^
EOF
}

case_repl_answers() {
    # Bare expressions and names show their value, a missing ';' is added, a function defined
    # again replaces the old one (its callers are compiled again or dropped), :load reloads.
    printf 'double a[1][2], r[];\na = [h, 2];\nfunc g(x) { return x - 1; }\n' >prog.qx
    cat >session.txt <<'EOF'
double a;
a = 3
a
a * 2;
(1 +
  2)
a[0][7] + 1
h = 5
func f(x) { return x + 1; }
func g(x) { return f(x) * 10; }
g(1)
func f(x) { return x + 100; }
g(1)
func f(x) { return x +; }
f(1)
func f(x, y) { return x; }
:help rowins
:help zzz
:funcs
puts("done")
:load prog.qx
a
h
g(1)
EOF
    IN=session.txt run --var h=int -i
    status_is 0
    out_is <<'EOF'
a = 0;
3
6
3
20
1010
101
rowins(A, B, pos)
  A with the rows of B inserted before row pos
f(x, y)
qxrun: print puts
standard: sin cos tan asin acos atan atan2 fabs exp log10 log log2 floor ceil fmod modf sqrt pow zeros ones identity linspace rand srand rowins colins rowdel coldel transpose sort where tostr addVarByName getVarByName setVarByName min max median inverse eigens eigena
done
a = [5, 2];
r = 0;
[5, 2]
5
0
EOF
    err_is <<'EOF'
Interpreter Error:  on line 1, position 10. Column-Index out of Range accessing Variable a
  1 | a[0][7] + 1
    | ^
note: a is a 1×1 double
Syntaxerror on line 1, position 22. unexpected symbol
  1 | func f(x) { return x +; }
    |                       ^
qxrun: g was dropped, it no longer compiles: Syntaxerror on line 1, position 22. function needs more arguments
no function 'zzz' (try :funcs)
EOF
}

case_repl_terminal() {
    # Ctrl-C, completion and history need a terminal: a pseudo-terminal driven by Python.
    editline=0
    ldd "$QXRUN" | grep -q 'libedit\.so' && editline=1
    mkdir home
    python3 "$HERE/repl_terminal.py" "$QXRUN" "$WORK/home" "$editline" >out.txt 2>err.txt ||
        fail "the terminal session failed"
}

case_demo_script() {
    run "$HERE/../../examples/demo.qx"
    status_is 0
    err_empty
    [ -s out.txt ] || fail "the demo printed nothing"
}

case_call_trace_and_disasm() {
    # A run-time error names the calls that led to it, innermost first.
    printf 'double m[2][3], r;\nfunc g(x[2][3]) {\n  return inverse(x);\n}\nr = 1 + g(m);\n' >t.qx
    run t.qx
    status_is 2
    err_is <<'EOF'
Interpreter Error:  Size of Parameter must be NxN in Function inverse
  in inverse, called at line 3
  in g, called at line 5
EOF
    run --disasm -e 'double x; x = 2 * x;'
    status_is 0
    err_empty
    out_is <<'EOF'
main: 2 instructions
   0  [1:18]    otMUL          A=2  B=x  R=t0
   1  [1:19]    otASSIGN       A=x  B=t0
EOF
    run --disasm -e 'x = ;'
    status_is 1
    out_empty
    MSG="--disasm applies to a script" usage_error --disasm -i
}

"case_$CASE"
echo "ok [$CASE]"
