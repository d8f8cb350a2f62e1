// Generates des_bitslice_sboxes.h: each DES S-box as a fixed circuit of AND, OR, XOR and
// AND-NOT gates over bit-planes. Not part of the product; build the target
// kh_des_sbox_gen and run it with the output path to regenerate the header.
//
// Method. Two of the six inputs (u, v) are split off: every output bit is
//   f = (c0 ^ (v & c1)) ^ (u & (c2 ^ (v & c3)))
// where c0..c3 are functions of the other four inputs (the algebraic normal form in u
// and v). The sixteen inner functions of an S-box are then built together by a greedy
// search that always adds the target reachable with the fewest new gates (exact up to
// three gates over everything built so far), with random tie-breaks over many restarts
// and every choice of (u, v). Each result is checked against the table on all 64 inputs.
#include "des_tables.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace {

using Fn = std::uint16_t; // truth table over the four inner inputs

enum Op : std::uint8_t { kInput, kAnd, kOr, kXor, kAndNot, kNot };

struct Gate {
    Op op;
    int a, b; // operand gate indices (b unused for kNot, both for kInput)
    Fn fn;
};

Fn apply(Op op, Fn a, Fn b) {
    switch (op) {
    case kAnd:
        return Fn(a & b);
    case kOr:
        return Fn(a | b);
    case kXor:
        return Fn(a ^ b);
    case kAndNot:
        return Fn(~a & b);
    case kNot:
        return Fn(~a);
    default:
        return 0;
    }
}

constexpr Op kBinaryOps[] = {kAnd, kOr, kXor, kAndNot};

// A way to build a function from existing gates: up to three new gates, as a small tree.
struct Recipe {
    int cost = 99;
    // Tree nodes: leaves are existing gate indices (>= 0) or sub-recipes (-1 - k).
    struct Node {
        Op op;
        int a, b;
        Fn fn;
    };
    std::vector<Node> nodes; // in build order; operands < 0 refer to earlier nodes (-1 - k)
};

class Builder {
  public:
    explicit Builder(std::mt19937& rng) : rng_(rng) {
        for (int j = 0; j < 4; ++j) {
            Fn fn = 0;
            for (int t = 0; t < 16; ++t)
                if ((t >> j) & 1) fn = Fn(fn | (1u << t));
            add({kInput, j, 0, fn});
        }
    }

    int find(Fn fn) const { return where_[fn]; }
    const std::vector<Gate>& gates() const { return gates_; }

    // Builds all targets; returns the number of gates added beyond the inputs.
    int buildAll(std::vector<Fn> targets) {
        std::erase_if(targets, [&](Fn t) { return t == 0 || t == 0xffff; });
        for (;;) {
            std::erase_if(targets, [&](Fn t) { return find(t) >= 0; });
            if (targets.empty()) break;
            prepare();
            int best = 99;
            std::vector<std::pair<Fn, Recipe>> choices;
            for (Fn t : targets) {
                Recipe r = recipe(t);
                if (r.cost < best) {
                    best = r.cost;
                    choices.clear();
                }
                if (r.cost == best) choices.emplace_back(t, r);
            }
            if (best == 99) {
                // Nothing within three gates: split the first target on an input.
                shannon(targets.front());
                continue;
            }
            const auto& pick = choices[rng_() % choices.size()];
            realize(pick.second);
        }
        return int(gates_.size()) - 4;
    }

  private:
    int add(Gate g) {
        if (where_[g.fn] >= 0) return where_[g.fn];
        gates_.push_back(g);
        where_[g.fn] = int(gates_.size()) - 1;
        return where_[g.fn];
    }

    // One level of gates over the built set, and a second level over that.
    void prepare() {
        level1_.assign(65536, Recipe::Node{kInput, -1, -1, 0});
        level1List_.clear();
        const int n = int(gates_.size());
        auto offer1 = [&](Op op, int a, int b) {
            const Fn fn =
                op == kNot ? apply(op, gates_[a].fn, 0) : apply(op, gates_[a].fn, gates_[b].fn);
            if (where_[fn] >= 0 || level1_[fn].a >= 0) return;
            level1_[fn] = {op, a, b, fn};
            level1List_.push_back(fn);
        };
        std::vector<int> order(n);
        for (int i = 0; i < n; ++i)
            order[i] = i;
        std::shuffle(order.begin(), order.end(), rng_);
        for (int i : order) {
            offer1(kNot, i, i);
            for (int j : order) {
                if (j == i) continue;
                for (Op op : kBinaryOps)
                    if (op == kAndNot || i < j) offer1(op, i, j);
            }
        }
        // Level 2: gate(existing, level-1 function).
        level2_.assign(65536, Recipe::Node{kInput, -1, -1, 0});
        for (Fn x : level1List_) {
            auto offer2 = [&](Op op, int a, bool aFirst) {
                const Fn ga = gates_[a].fn;
                const Fn fn =
                    op == kNot ? apply(kNot, x, 0) : (aFirst ? apply(op, ga, x) : apply(op, x, ga));
                if (where_[fn] >= 0 || level1_[fn].a >= 0 || level2_[fn].b >= 0) return;
                // a >= 0: existing gate; b holds the level-1 function; aFirst in op's order.
                level2_[fn] = {op, aFirst ? a : -2 - a, int(x), fn};
            };
            offer2(kNot, 0, true);
            for (int i = 0; i < n; ++i)
                for (Op op : kBinaryOps) {
                    offer2(op, i, true);
                    if (op == kAndNot) offer2(op, i, false);
                }
        }
    }

    Recipe recipe(Fn t) const {
        Recipe r;
        if (level1_[t].a >= 0) {
            r.cost = 1;
            r.nodes.push_back(level1_[t]);
            return r;
        }
        if (level2_[t].b >= 0) {
            r.cost = 2;
            r.nodes.push_back(level1_[level2_[t].b]);
            const auto& l2 = level2_[t];
            const int existing = l2.a >= 0 ? l2.a : -2 - l2.a;
            if (l2.op == kNot)
                r.nodes.push_back({kNot, -1, -1, t});
            else if (l2.a >= 0)
                r.nodes.push_back({l2.op, existing, -1, t});
            else
                r.nodes.push_back({l2.op, -1, existing, t});
            return r;
        }
        // Three gates: XOR of two level-1 functions, or AND/OR/AND-NOT of two of them.
        for (Fn x : level1List_) {
            const Fn y = Fn(t ^ x);
            if (level1_[y].a >= 0) return three(kXor, x, y, t);
        }
        for (Fn x : level1List_) {
            // t = x & y: x covers t, and y equals t inside x (free outside).
            if ((x & t) == t) {
                const Fn freeBits = Fn(~x);
                if (__builtin_popcount(freeBits) <= 8) {
                    for (unsigned s = freeBits;; s = (s - 1) & freeBits) {
                        const Fn y = Fn(t | s);
                        if (level1_[y].a >= 0) return three(kAnd, x, y, t);
                        if (s == 0) break;
                    }
                }
            }
            // t = x | y: x inside t, and y equals t outside x.
            if ((x & ~t & 0xffff) == 0) {
                const Fn freeBits = x;
                if (__builtin_popcount(freeBits) <= 8) {
                    for (unsigned s = freeBits;; s = (s - 1) & freeBits) {
                        const Fn y = Fn((t & ~x) | s);
                        if (level1_[y].a >= 0) return three(kOr, x, y, t);
                        if (s == 0) break;
                    }
                }
            }
            // t = ~x & y: the same as AND with ~x.
            const Fn nx = Fn(~x);
            if ((nx & t) == t) {
                const Fn freeBits = x;
                if (__builtin_popcount(freeBits) <= 8) {
                    for (unsigned s = freeBits;; s = (s - 1) & freeBits) {
                        const Fn y = Fn(t | s);
                        if (level1_[y].a >= 0) return three(kAndNot, x, y, t);
                        if (s == 0) break;
                    }
                }
            }
        }
        return r;
    }

    Recipe three(Op op, Fn x, Fn y, Fn t) const {
        Recipe r;
        r.cost = x == y ? 2 : 3;
        r.nodes.push_back(level1_[x]);
        r.nodes.push_back(level1_[y]);
        r.nodes.push_back({op, -1, -2, t});
        return r;
    }

    void realize(const Recipe& r) {
        std::vector<int> made;
        for (const auto& node : r.nodes) {
            auto resolve = [&](int operand, bool first) {
                if (operand >= 0) return operand;
                // -1: the previous node (or the first of two), -2: the second.
                if (r.nodes.size() == 3 && first) return made[0];
                if (r.nodes.size() == 3) return made[1];
                return made.back();
            };
            const int a = resolve(node.a, true);
            const int b = node.op == kNot ? a : resolve(node.b, false);
            const Fn fn = node.op == kNot ? apply(kNot, gates_[a].fn, 0)
                                          : apply(node.op, gates_[a].fn, gates_[b].fn);
            if (fn != node.fn) {
                std::fprintf(stderr, "internal error: recipe mismatch\n");
                std::exit(2);
            }
            made.push_back(add({node.op, a, b, fn}));
        }
    }

    void shannon(Fn t) {
        // t = t0 ^ (x & d) with t0, d the parts of t without input x.
        int j = int(rng_() % 4);
        Fn t0 = 0, d = 0;
        for (int tries = 0; tries < 4; ++tries, j = (j + 1) % 4) {
            t0 = d = 0;
            for (int i = 0; i < 16; ++i) {
                const int i0 = i & ~(1 << j), i1 = i | (1 << j);
                if ((t >> i0) & 1) t0 = Fn(t0 | (1u << i));
                if (((t >> i0) ^ (t >> i1)) & 1) d = Fn(d | (1u << i));
            }
            if (d != 0) break;
        }
        const Fn x = gates_[j].fn;
        buildAll({t0, d});
        const int m = d == 0xffff ? j : add({kAnd, j, find(d), Fn(x & d)});
        if (t0 == 0) return;
        if (t0 == 0xffff) {
            add({kNot, m, m, Fn(~gates_[m].fn)});
            return;
        }
        add({kXor, find(t0), m, Fn(t0 ^ gates_[m].fn)});
    }

    std::mt19937& rng_;
    std::vector<Gate> gates_;
    std::array<int, 65536> where_ = [] {
        std::array<int, 65536> w{};
        w.fill(-1);
        return w;
    }();
    std::vector<Recipe::Node> level1_, level2_;
    std::vector<Fn> level1List_;
};

int sboxOutput(int box, int x, int bit) {
    const int row = ((x >> 4) & 2) | (x & 1);
    const int column = (x >> 1) & 15;
    return (kh::des::kSBoxes[box][row * 16 + column] >> (3 - bit)) & 1;
}

// Input numbering: a1 is the first (most significant) of the six bits, at bit 5 of x.
int inputBit(int x, int k) {
    return (x >> (6 - k)) & 1;
}

struct Plan {
    int u = 0, v = 0;
    std::array<int, 4> inner{};
    std::array<std::array<Fn, 4>, 4> c{}; // [output][c0..c3]
};

Plan makePlan(int box, int u, int v) {
    Plan p;
    p.u = u;
    p.v = v;
    int k = 0;
    for (int i = 0; i < 6; ++i)
        if (i != u && i != v) p.inner[k++] = i;
    for (int o = 0; o < 4; ++o) {
        std::array<Fn, 4> f{}; // f[uv] as inner functions
        for (int uv = 0; uv < 4; ++uv)
            for (int t = 0; t < 16; ++t) {
                int x = 0;
                x |= ((uv >> 1) & 1) << (5 - u);
                x |= (uv & 1) << (5 - v);
                for (int j = 0; j < 4; ++j)
                    x |= ((t >> j) & 1) << (5 - p.inner[j]);
                if (sboxOutput(box, x, o)) f[uv] = Fn(f[uv] | (1u << t));
            }
        p.c[o][0] = f[0];
        p.c[o][1] = Fn(f[0] ^ f[1]);
        p.c[o][2] = Fn(f[0] ^ f[2]);
        p.c[o][3] = Fn(f[0] ^ f[1] ^ f[2] ^ f[3]);
    }
    return p;
}

// lo ^ (v & hi): the gates it takes.
int halfCost(Fn lo, Fn hi) {
    if (hi == 0) return 0;
    if (hi == 0xffff && lo == 0) return 0; // v itself
    if (lo == 0 || hi == 0xffff) return 1;
    return 2;
}

// Gates of the outer part of one output: A = c0 ^ (v & c1), B = c2 ^ (v & c3), A ^ (u & B).
int outerCost(const std::array<Fn, 4>& c) {
    const int a = halfCost(c[0], c[1]);
    if (c[2] == 0 && c[3] == 0) return a;
    const bool aZero = c[0] == 0 && c[1] == 0;
    return a + halfCost(c[2], c[3]) + 1 + (aZero ? 0 : 1);
}

// Plans with a constant-one c0 or c2 are left out (the emitter has no constant).
bool usable(const Plan& p) {
    for (const auto& c : p.c)
        if (c[0] == 0xffff || c[2] == 0xffff) return false;
    return true;
}

struct Result {
    int total = 1 << 30;
    Plan plan;
    std::vector<Gate> gates;
};

std::string emitBox(int box, const Result& r) {
    const Plan& p = r.plan;
    std::string s = "// S";
    s += std::to_string(box + 1);
    s += ": ";
    s += std::to_string(r.total);
    s += " gates; split on a";
    s += std::to_string(p.u + 1);
    s += " (u) and a";
    s += std::to_string(p.v + 1);
    s += " (v).\ntemplate <class V>\nKH_SBOX_INLINE void sbox";
    s += std::to_string(box + 1);
    s += "(V a1, V a2, V a3, V a4, V a5, V a6, V& o1, V& o2, V& o3, V& o4) {\n";
    auto name = [&](int g) {
        if (g < 4) return "a" + std::to_string(p.inner[g] + 1);
        return "t" + std::to_string(g);
    };
    const char* opName[] = {"", "&", "|", "^", "", ""};
    for (std::size_t g = 4; g < r.gates.size(); ++g) {
        const Gate& gate = r.gates[g];
        std::string expr;
        if (gate.op == kNot)
            expr = "~" + name(gate.a);
        else if (gate.op == kAndNot)
            expr = "andNot(" + name(gate.a) + ", " + name(gate.b) + ")";
        else
            expr = name(gate.a) + " " + opName[gate.op] + " " + name(gate.b);
        s += "    const V " + name(int(g)) + " = " + expr + ";\n";
    }
    const std::string u = "a" + std::to_string(p.u + 1), v = "a" + std::to_string(p.v + 1);
    auto ref = [&](Fn fn) -> std::string {
        for (std::size_t g = 0; g < r.gates.size(); ++g)
            if (r.gates[g].fn == fn) return name(int(g));
        std::fprintf(stderr, "internal error: missing inner function\n");
        std::exit(2);
    };
    auto half = [&](Fn lo, Fn hi) -> std::string { // lo ^ (v & hi), "" when zero
        if (hi == 0) return lo == 0 ? "" : ref(lo);
        const std::string vh = hi == 0xffff ? v : "(" + v + " & " + ref(hi) + ")";
        return lo == 0 ? vh : ref(lo) + " ^ " + vh;
    };
    const char* outs[] = {"o1", "o2", "o3", "o4"};
    for (int o = 0; o < 4; ++o) {
        const auto& c = p.c[o];
        const std::string a = half(c[0], c[1]);
        const std::string b = half(c[2], c[3]);
        std::string f;
        if (b.empty())
            f = a;
        else {
            const std::string ub = "(" + u + " & (" + b + "))";
            f = a.empty() ? ub : a + " ^ " + ub;
        }
        if (f.empty()) f = "V{}";
        s += std::string("    ") + outs[o] + " ^= " + f + ";\n";
    }
    s += "}\n";
    return s;
}

// Evaluates the emitted structure over all 64 inputs.
bool verify(int box, const Result& r) {
    const Plan& p = r.plan;
    for (int x = 0; x < 64; ++x) {
        int t = 0;
        for (int j = 0; j < 4; ++j)
            t |= inputBit(x, p.inner[j] + 1) << j;
        std::vector<int> value(r.gates.size());
        for (std::size_t g = 0; g < r.gates.size(); ++g) {
            const Gate& gate = r.gates[g];
            value[g] = (gate.fn >> t) & 1;
        }
        const int u = inputBit(x, p.u + 1), v = inputBit(x, p.v + 1);
        for (int o = 0; o < 4; ++o) {
            auto c = [&](int i) { return (p.c[o][i] >> t) & 1; };
            const int f = (c(0) ^ (v & c(1))) ^ (u & (c(2) ^ (v & c(3))));
            if (f != sboxOutput(box, x, o)) return false;
        }
        // Each gate really computes its operation from its operands.
        for (std::size_t g = 4; g < r.gates.size(); ++g) {
            const Gate& gate = r.gates[g];
            const Fn expect = gate.op == kNot
                                  ? apply(kNot, r.gates[gate.a].fn, 0)
                                  : apply(gate.op, r.gates[gate.a].fn, r.gates[gate.b].fn);
            if (expect != gate.fn) return false;
        }
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s OUTPUT.h [restarts]\n", argv[0]);
        return 1;
    }
    const int restarts = argc > 2 ? std::atoi(argv[2]) : 40;
    std::string body;
    int grand = 0;
    for (int box = 0; box < 8; ++box) {
        Result best;
        for (int u = 0; u < 6; ++u)
            for (int v = 0; v < 6; ++v) {
                if (u == v) continue;
                const Plan plan = makePlan(box, u, v);
                if (!usable(plan)) continue;
                int outer = 0;
                std::vector<Fn> targets;
                for (const auto& c : plan.c) {
                    outer += outerCost(c);
                    targets.insert(targets.end(), c.begin(), c.end());
                }
                for (int run = 0; run < restarts; ++run) {
                    std::mt19937 rng(unsigned(box * 100000 + u * 10000 + v * 1000 + run));
                    Builder builder(rng);
                    const int inner = builder.buildAll(targets);
                    if (inner + outer < best.total) {
                        best.total = inner + outer;
                        best.plan = plan;
                        best.gates = builder.gates();
                    }
                }
            }
        if (!verify(box, best)) {
            std::fprintf(stderr, "S%d: circuit does not match the table\n", box + 1);
            return 2;
        }
        std::fprintf(stderr, "S%d: %d gates\n", box + 1, best.total);
        grand += best.total;
        body += emitBox(box, best) + "\n";
    }
    std::ofstream out(argv[1]);
    out << "// Generated by des_bitslice_sbox_gen.cpp; do not edit. " << grand
        << " gates for the eight S-boxes.\n"
           "// Each function XORs the four outputs of one S-box (o1 = most significant bit)\n"
           "// into the planes o1..o4, from the six input planes a1..a6 (a1 = first bit).\n"
           "// V needs &, |, ^, ~ and andNot(a, b) = ~a & b.\n"
           "// Internal linkage on purpose: the files that include this are compiled for\n"
           "// different instruction sets and must not share instances.\n"
           "#pragma once\n\n"
           "#define KH_SBOX_INLINE [[gnu::always_inline]] inline\n\n"
           "// clang-format off\n"
           "namespace kh::bitslice {\nnamespace {\n\n"
        << body << "} // namespace\n} // namespace kh::bitslice\n// clang-format on\n";
    std::fprintf(stderr, "total %d gates\n", grand);
    return 0;
}
