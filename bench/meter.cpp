// The painter's cost meter on the receiver's processor: a QEMU plugin for
// qemu-mips that counts, in each stretch of a program between two calls of
// its meter_mark (see tools/picture/paintpic.cpp), the instructions executed
// and the stores by kind, telling stores into the screen (the one mapping of
// a whole frame) from stores elsewhere. The screen is mapped uncached on the
// box, so every store into it is one bus write, whatever its width; a
// partial store (sb, sh, swl, swr) is one bus write too.
//   qemu-mips -plugin libmeter.so,out=FILE PROGRAM ...
// FILE gets one line a stretch: "stretch N instructions I screen S others O
// KIND=COUNT ...", the kinds being the screen's stores by mnemonic.
#include "fb/fb.hpp"

extern "C" {
#include <qemu-plugin.h>
}

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

extern "C" {
QEMU_PLUGIN_EXPORT int qemu_plugin_version = QEMU_PLUGIN_VERSION;
}

namespace {

struct stretch {
    std::uint64_t instructions = 0;
    std::uint64_t screen = 0; // store instructions into the screen
    std::uint64_t others = 0; // store instructions elsewhere
    std::map<std::string, std::uint64_t> kinds;
};

struct instruction {
    std::string mnemonic;
    bool in_mark = false; // an instruction of meter_mark: not counted
    bool mark = false;    // its first: a stretch ends, the next begins
};

std::vector<stretch> stretches(1); // stretch 0: before the first mark
std::uint64_t serial = 0;          // executed instructions, to count a store once
std::uint64_t counted = 0;         // the serial of the last store counted
std::uint64_t screen_begin = 0, screen_end = 0;
std::uint64_t mapping_asked = 0; // the length of an mmap under way
std::string out_path;

constexpr std::int64_t o32_mmap = 4090, o32_mmap2 = 4210;

void on_exec(unsigned int, void* data)
{
    const auto* insn = static_cast<const instruction*>(data);
    ++serial;
    if (insn->mark)
        stretches.emplace_back();
    if (!insn->in_mark && stretches.size() % 2 == 0) // inside a marked stretch
        ++stretches.back().instructions;
}

// swl and swr reach memory as several byte accesses: one store instruction
// is counted once.
void on_store(unsigned int, qemu_plugin_meminfo_t info, std::uint64_t address, void* data)
{
    if (!qemu_plugin_mem_is_store(info) || counted == serial || stretches.size() % 2 != 0)
        return;
    counted = serial;
    stretch& s = stretches.back();
    if (address >= screen_begin && address < screen_end) {
        ++s.screen;
        ++s.kinds[static_cast<const instruction*>(data)->mnemonic];
    } else {
        ++s.others;
    }
}

void on_translate(qemu_plugin_id_t, qemu_plugin_tb* tb)
{
    const std::size_t n = qemu_plugin_tb_n_insns(tb);
    for (std::size_t i = 0; i < n; ++i) {
        qemu_plugin_insn* insn = qemu_plugin_tb_get_insn(tb, i);
        char* text = qemu_plugin_insn_disas(insn);
        auto* info = new instruction; // lives as long as the translation: to the end
        info->mnemonic.assign(text, strcspn(text, " \t"));
        free(text);
        const char* symbol = qemu_plugin_insn_symbol(insn);
        static std::uint64_t mark_entry = 0;
        // meter_mark is only ever called: its code is first seen from its entry.
        info->in_mark = symbol != nullptr && strcmp(symbol, "meter_mark") == 0;
        if (info->in_mark && mark_entry == 0)
            mark_entry = qemu_plugin_insn_vaddr(insn);
        info->mark = info->in_mark && mark_entry == qemu_plugin_insn_vaddr(insn);
        qemu_plugin_register_vcpu_insn_exec_cb(insn, on_exec, QEMU_PLUGIN_CB_NO_REGS, info);
        qemu_plugin_register_vcpu_mem_cb(insn, on_store, QEMU_PLUGIN_CB_NO_REGS, QEMU_PLUGIN_MEM_W, info);
    }
}

void on_syscall(qemu_plugin_id_t, unsigned int, std::int64_t number, std::uint64_t, std::uint64_t length, std::uint64_t,
                std::uint64_t, std::uint64_t, std::uint64_t, std::uint64_t, std::uint64_t)
{
    mapping_asked = (number == o32_mmap2 || number == o32_mmap) ? length : 0;
}

void on_syscall_return(qemu_plugin_id_t, unsigned int, std::int64_t, std::int64_t result)
{
    if (mapping_asked == fb_bytes && result > 0 && (result & 0xFFF) == 0) {
        screen_begin = static_cast<std::uint64_t>(result);
        screen_end = screen_begin + fb_bytes;
    }
    mapping_asked = 0;
}

void on_exit(qemu_plugin_id_t, void*)
{
    FILE* out = fopen(out_path.c_str(), "w");
    if (out == nullptr)
        return;
    for (std::size_t i = 1; i < stretches.size(); i += 2) {
        const stretch& s = stretches[i];
        fprintf(out, "stretch %zu instructions %llu screen %llu others %llu", i / 2 + 1,
                static_cast<unsigned long long>(s.instructions), static_cast<unsigned long long>(s.screen),
                static_cast<unsigned long long>(s.others));
        for (const auto& [kind, count] : s.kinds)
            fprintf(out, " %s=%llu", kind.c_str(), static_cast<unsigned long long>(count));
        fprintf(out, "\n");
    }
    fclose(out);
}

} // namespace

extern "C" QEMU_PLUGIN_EXPORT int qemu_plugin_install(qemu_plugin_id_t id, const qemu_info_t*, int argc, char** argv)
{
    for (int i = 0; i < argc; ++i)
        if (strncmp(argv[i], "out=", 4) == 0)
            out_path = argv[i] + 4;
    if (out_path.empty()) {
        fprintf(stderr, "meter: give out=FILE\n");
        return 1;
    }
    qemu_plugin_register_vcpu_tb_trans_cb(id, on_translate);
    qemu_plugin_register_vcpu_syscall_cb(id, on_syscall);
    qemu_plugin_register_vcpu_syscall_ret_cb(id, on_syscall_return);
    qemu_plugin_register_atexit_cb(id, on_exit, nullptr);
    return 0;
}
