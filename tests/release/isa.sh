#!/usr/bin/env bash
# Nothing the box lacks or must emulate ships: every instruction of the
# given programs, and of all that is linked into them (musl, the run-time
# routines, our code), is one that a MIPS32 release 1 processor without an
# FPU runs itself. binutils' MIPS tables know which release brought each
# instruction: one that the release 1 decoder does not know (it prints a
# bare word, or a generic coprocessor form) while a later release's decoder
# names it, is reported with its function. The few that the release 1
# decoder reads loosely (rotates, the hazard-barrier jumps) are named here.
# rdhwr of the thread pointer ($29) is allowed: Linux emulates it where the
# processor lacks it. Every coprocessor-1 instruction (floating-point loads,
# stores, moves, arithmetic, and branches and moves on its conditions) is
# reported too, and each program's ABI flags must say soft-float: a core
# without an FPU traps on each of them, and a kernel built without
# floating-point support kills the program. Before the programs, a probe of
# instructions from each side checks that the scan tells them apart.
#   tests/release/isa.sh PROGRAM...
set -u
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# scan FILE: a line "function: newer|floating-point instruction" for each
# instruction newer than release 1 and each of coprocessor 1.
scan() {
    paste <(mips-linux-gnu-objdump -d -m mips:isa32 "$1") <(mips-linux-gnu-objdump -d -m mips:isa32r5 "$1") |
        awk -F'\t' '
            /^[0-9a-f]+ <.*>:/ { fn = $1; sub(/^[0-9a-f]+ </, "", fn); sub(/>:.*/, "", fn); next }
            NF < 6 { next }
            {
                old = $3; new = $7; args = $8
                unknown = old ~ /^(\.word|c[123])/ && new !~ /^(\.word|c[123])/
                loose = new ~ /^(rotrv?|rorv?|jr\.hb|jalr\.hb)$/
                if ((unknown || loose) && !(new == "rdhwr" && args ~ /,\$29$/))
                    print fn ": newer " new " " args
                if (new ~ /^([ls][wd](x|ux)?c1|m[ft]h?c1|[ct]fc1|ctc1|bc1.*|mov[ft]|prefx)$/ || new ~ /\.(s|d|w|l|ps)$/)
                    print fn ": floating-point " new " " args
            }'
}

# fp_abi FILE: the floating-point ABI its flags say.
fp_abi() { readelf -A "$1" | sed -n 's/^FP ABI: *//p'; }

# The probe: each line is its kind, then an instruction: "new" newer than
# release 1, "newfp" newer and of coprocessor 1, "fp" of coprocessor 1 in
# release 1, "r1" neither.
probe='new ext $2,$3,1,4
new ins $2,$3,1,4
new seb $2,$3
new seh $2,$3
new wsbh $2,$3
new rotr $2,$3,4
new rotrv $2,$3,$4
new di
new ei
new synci 0($4)
new rdpgpr $2,$3
new wrpgpr $2,$3
newfp mfhc1 $2,$f2
newfp mthc1 $2,$f2
newfp madd.d $f0,$f2,$f4,$f6
newfp msub.s $f0,$f2,$f4,$f6
newfp nmadd.d $f0,$f2,$f4,$f6
newfp nmsub.s $f0,$f2,$f4,$f6
newfp lwxc1 $f0,$4($5)
newfp sdxc1 $f0,$4($5)
newfp prefx 0,$4($5)
newfp recip.d $f0,$f2
newfp rsqrt.s $f0,$f2
newfp cvt.l.d $f0,$f2
newfp trunc.l.d $f0,$f2
new jr.hb $4
new jalr.hb $4
new rdhwr $3,$2
fp ldc1 $f0,0($4)
fp sdc1 $f20,0($4)
fp lwc1 $f0,0($4)
fp swc1 $f0,0($4)
fp mtc1 $2,$f0
fp mfc1 $2,$f0
fp ctc1 $2,$31
fp cfc1 $2,$31
fp add.d $f0,$f2,$f4
fp mul.s $f0,$f2,$f4
fp sqrt.d $f0,$f2
fp trunc.w.d $f0,$f2
fp cvt.d.w $f0,$f2
fp c.lt.d $f0,$f2
fp bc1t 1f
fp bc1f 1f
fp movt $2,$3,$fcc0
fp movt.d $f0,$f2,$fcc0
r1 rdhwr $3,$29
r1 clz $2,$3
r1 madd $2,$3
r1 mul $2,$3,$4
r1 movn $2,$3,$4
r1 sync
r1 ll $2,0($3)
r1 sc $2,0($3)
r1 addiu $2,$3,4
r1 lw $2,0($3)
r1 bgez $2,1f'
status=0
n=0
{
    echo '.set noreorder'
    while read -r side insn; do echo ".globl p$((++n))_$side"; echo "p${n}_$side: $insn"; done <<<"$probe"
    echo '1: nop'
} >"$tmp/probe.s"
mips-linux-gnu-as -mips32r5 -mhard-float -o "$tmp/probe.o" "$tmp/probe.s" || { echo "FAILED: cannot assemble the probe"; exit 1; }
scan "$tmp/probe.o" >"$tmp/probe.found"
# named KIND: the probe's functions that the scan named for that kind.
named() { grep ": $1 " "$tmp/probe.found" | sed 's/:.*//' | sort -u; }
probed() { grep -o -E "^p[0-9]+_($1)\b" "$tmp/probe.s" | sort -u; }
for kind in newer floating-point; do
    case $kind in newer) want=$(probed 'new|newfp') ;; *) want=$(probed 'fp|newfp') ;; esac
    found=$(named $kind)
    if [ "$found" = "$want" ]; then
        echo "ok: the scan names the probe's $(wc -l <<<"$want") $kind instructions and none of the others"
    else
        echo "FAILED: the scan misreads the probe's $kind instructions: $(comm -3 <(echo "$found") <(echo "$want") | tr -d '\t' | tr '\n' ' ')"
        status=1
    fi
done
echo 'addiu $2,$3,4' | mips-linux-gnu-as -mips32 -msoft-float -o "$tmp/soft.o" -
if [ "$(fp_abi "$tmp/soft.o")" = "Soft float" ] && [ "$(fp_abi "$tmp/probe.o")" != "Soft float" ]; then
    echo "ok: the ABI flags tell soft-float from hard-float ($(fp_abi "$tmp/probe.o"))"
else
    echo "FAILED: the ABI flags do not tell soft-float from hard-float"
    status=1
fi

for program in "$@"; do
    scan "$program" >"$tmp/found"
    abi=$(fp_abi "$program")
    if [ -s "$tmp/found" ]; then
        echo "FAILED: $(basename "$program") has instructions that a MIPS32 release 1 box without an FPU lacks:"
        sed 's/: [a-z-]* /: /' "$tmp/found" | sort | uniq -c | sort -rn | head -20 | sed 's/^/    /'
        status=1
    elif [ "$abi" != "Soft float" ]; then
        echo "FAILED: $(basename "$program") is marked '$abi', not soft-float"
        status=1
    else
        echo "ok: $(basename "$program"): $(mips-linux-gnu-objdump -d "$program" | grep -cP '^\s+[0-9a-f]+:\t') instructions, all of release 1 and none of the FPU; soft-float"
    fi
done
exit $status
