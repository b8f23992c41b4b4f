// What the kernel does on a program's behalf, counted on the emulated
// receiver: a QEMU plugin for qemu-system-mips that counts, in each stretch
// between two marks, the instructions executed in kernel mode and in user
// mode. On MIPS32 the kernel runs at addresses from 0x80000000 up, programs
// below. A mark is the user-mode instruction "ori $0, $0, 0x5254" (a no-op,
// which rxguest mark executes).
//   qemu-system-mips -plugin libmode_meter.so,out=FILE ...
// FILE gets one line a stretch: "stretch N kernel K user U fpu F", F being
// the user-mode instructions of coprocessor 1 (the FPU), which trap into
// the kernel on a core without one.
extern "C" {
#include <qemu-plugin.h>
}

#include <cstdint>
#include <cstdio>
#include <cstring>

extern "C" {
QEMU_PLUGIN_EXPORT int qemu_plugin_version = QEMU_PLUGIN_VERSION;
}

namespace {

enum kind : std::uintptr_t { user, user_fpu, kernel, mark };

struct stretch {
    std::uint64_t kernel = 0;
    std::uint64_t user = 0;
    std::uint64_t fpu = 0;
};

// Plain arrays: QEMU calls the exit callback after the plugin's own objects
// with destructors are gone.
constexpr std::size_t max_stretches = 256;
stretch stretches[max_stretches]; // stretch 0: before the first mark
std::size_t used = 1;
char out_path[4096];
constexpr unsigned char mark_word[4] = {0x34, 0x00, 0x52, 0x54}; // big-endian

void on_exec(unsigned int, void* data)
{
    const auto k = static_cast<kind>(reinterpret_cast<std::uintptr_t>(data));
    if (k == mark) {
        used += used < max_stretches;
        return;
    }
    if (used % 2 != 0) // outside a marked stretch
        return;
    stretch& s = stretches[used - 1];
    ++(k == kernel ? s.kernel : s.user);
    s.fpu += k == user_fpu;
}

void on_translate(qemu_plugin_id_t, qemu_plugin_tb* tb)
{
    const std::size_t n = qemu_plugin_tb_n_insns(tb);
    for (std::size_t i = 0; i < n; ++i) {
        qemu_plugin_insn* insn = qemu_plugin_tb_get_insn(tb, i);
        kind k = qemu_plugin_insn_vaddr(insn) >= 0x80000000u ? kernel : user;
        const auto* word = static_cast<const unsigned char*>(qemu_plugin_insn_data(insn));
        if (k == user && qemu_plugin_insn_size(insn) == 4) {
            // Coprocessor 1: its own opcode (COP1, COP1X), its loads and
            // stores (LWC1, LDC1, SWC1, SDC1), and MOVF/MOVT on its conditions.
            const unsigned op = word[0] >> 2;
            const bool movcf = op == 0 && (word[3] & 0x3F) == 0x01;
            if (op == 0x11 || op == 0x13 || op == 0x31 || op == 0x35 || op == 0x39 || op == 0x3D || movcf)
                k = user_fpu;
            if (memcmp(word, mark_word, sizeof mark_word) == 0)
                k = mark;
        }
        qemu_plugin_register_vcpu_insn_exec_cb(insn, on_exec, QEMU_PLUGIN_CB_NO_REGS,
                                               reinterpret_cast<void*>(static_cast<std::uintptr_t>(k)));
    }
}

void on_exit(qemu_plugin_id_t, void*)
{
    FILE* out = fopen(out_path, "w");
    if (out == nullptr)
        return;
    for (std::size_t i = 1; i < used; i += 2)
        fprintf(out, "stretch %zu kernel %llu user %llu fpu %llu\n", i / 2 + 1,
                static_cast<unsigned long long>(stretches[i].kernel),
                static_cast<unsigned long long>(stretches[i].user), static_cast<unsigned long long>(stretches[i].fpu));
    fclose(out);
}

} // namespace

extern "C" QEMU_PLUGIN_EXPORT int qemu_plugin_install(qemu_plugin_id_t id, const qemu_info_t*, int argc, char** argv)
{
    for (int i = 0; i < argc; ++i)
        if (strncmp(argv[i], "out=", 4) == 0)
            snprintf(out_path, sizeof out_path, "%s", argv[i] + 4);
    if (out_path[0] == '\0') {
        fprintf(stderr, "mode_meter: give out=FILE\n");
        return 1;
    }
    qemu_plugin_register_vcpu_tb_trans_cb(id, on_translate);
    qemu_plugin_register_atexit_cb(id, on_exit, nullptr);
    return 0;
}
