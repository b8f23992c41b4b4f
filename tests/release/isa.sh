#!/usr/bin/env bash
# Nothing newer than MIPS32 release 1 ships: every instruction of the given
# programs, and of all that is linked into them (musl, libgcc's helpers, our
# code), is one that a release 1 processor has. binutils' MIPS tables know
# which release brought each instruction: one that the release 1 decoder
# does not know (it prints a bare word, or a generic coprocessor form) while
# a later release's decoder names it, is reported with its function. The
# few that the release 1 decoder reads loosely (rotates, the hazard-barrier
# jumps) are named here. rdhwr of the thread pointer ($29) is allowed: Linux
# emulates it where the processor lacks it. Before the programs, a probe of
# instructions from either side checks that the scan tells them apart.
#   tests/release/isa.sh PROGRAM...
set -u
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# scan FILE: one line "function: instruction" for each instruction newer than release 1.
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
                    print fn ": " new " " args
            }'
}

# The probe: each line is "r1" or "new", then an instruction.
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
new mfhc1 $2,$f2
new mthc1 $2,$f2
new madd.d $f0,$f2,$f4,$f6
new msub.s $f0,$f2,$f4,$f6
new nmadd.d $f0,$f2,$f4,$f6
new nmsub.s $f0,$f2,$f4,$f6
new lwxc1 $f0,$4($5)
new sdxc1 $f0,$4($5)
new prefx 0,$4($5)
new recip.d $f0,$f2
new rsqrt.s $f0,$f2
new cvt.l.d $f0,$f2
new trunc.l.d $f0,$f2
new jr.hb $4
new jalr.hb $4
new rdhwr $3,$2
r1 rdhwr $3,$29
r1 clz $2,$3
r1 madd $2,$3
r1 mul $2,$3,$4
r1 movn $2,$3,$4
r1 movt.d $f0,$f2,$fcc0
r1 sync
r1 ll $2,0($3)
r1 sc $2,0($3)
r1 trunc.w.d $f0,$f2
r1 sqrt.d $f0,$f2
r1 ldc1 $f0,0($4)
r1 sdc1 $f20,0($4)'
status=0
n=0
{
    echo '.set noreorder'
    while read -r side insn; do echo ".globl p$((++n))_$side"; echo "p${n}_$side: $insn"; done <<<"$probe"
} >"$tmp/probe.s"
mips-linux-gnu-as -mips32r5 -mhard-float -o "$tmp/probe.o" "$tmp/probe.s" || { echo "FAILED: cannot assemble the probe"; exit 1; }
found=$(scan "$tmp/probe.o" | sed 's/:.*//' | sort -u)
want=$(grep -o '^p[0-9]*_new' "$tmp/probe.s" | sort -u)
if [ "$found" = "$want" ]; then
    echo "ok: the scan names all $(wc -l <<<"$want") newer instructions of the probe and none of release 1"
else
    echo "FAILED: the scan misreads the probe: $(comm -3 <(echo "$found") <(echo "$want") | tr -d '\t' | tr '\n' ' ')"
    status=1
fi

for program in "$@"; do
    scan "$program" >"$tmp/found"
    if [ -s "$tmp/found" ]; then
        echo "FAILED: $(basename "$program") has instructions that MIPS32 release 1 lacks:"
        sort "$tmp/found" | uniq -c | sort -rn | head -20 | sed 's/^/    /'
        status=1
    else
        echo "ok: $(basename "$program"): $(mips-linux-gnu-objdump -d "$program" | grep -cP '^\s+[0-9a-f]+:\t') instructions, all of release 1"
    fi
done
exit $status
