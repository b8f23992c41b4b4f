// fpuprobe: executes one floating-point instruction (a move into coprocessor
// 1) and exits 0. On a core without an FPU, under a kernel built without
// floating-point support, it dies with SIGILL instead: the boot test shows
// with it that it tells the two kernels apart. It runs inside the emulated
// receiver, never on the box.
int main()
{
    __asm__ volatile(".set push\n\t.set hardfloat\n\tmtc1 $0, $f0\n\t.set pop");
    return 0;
}
