// Baselines in Lua 5.4 through its C API for the scalar loop (W1), compiling a long script
// (W4), host calls of a small function (W5), the small-matrix loop (W6, with 3x3 tables and
// hand-written product, transpose, add and determinant) and the indexed loop (W7). Like the qx
// workloads, each chunk is loaded once and run many times; W4 measures loading only.
#include <benchmark/benchmark.h>

#include <lua.hpp>
#include <string>

#include "workloads.h"

namespace {

// One Lua state with the standard libraries and a chunk loaded into a registry reference.
class LuaChunk {
public:
    LuaChunk(benchmark::State& state, const std::string& text) : m_L(luaL_newstate()) {
        luaL_openlibs(m_L);
        if (luaL_loadstring(m_L, text.c_str()) != LUA_OK) {
            state.SkipWithError(lua_tostring(m_L, -1));
            lua_pop(m_L, 1);
            return;
        }
        m_Ref = luaL_ref(m_L, LUA_REGISTRYINDEX);
    }
    LuaChunk(const LuaChunk&) = delete;
    LuaChunk& operator=(const LuaChunk&) = delete;
    ~LuaChunk() { lua_close(m_L); }

    void run(benchmark::State& state) {
        lua_rawgeti(m_L, LUA_REGISTRYINDEX, m_Ref);
        if (lua_pcall(m_L, 0, 0, 0) != LUA_OK) {
            state.SkipWithError(lua_tostring(m_L, -1));
            lua_pop(m_L, 1);
        }
    }
    lua_State* L() { return m_L; }

private:
    lua_State* m_L;
    int m_Ref = LUA_NOREF;
};

void BM_W1_lua(benchmark::State& state) {
    LuaChunk chunk(state,
                   "local s = 0\n"
                   "for i = 0, " +
                       std::to_string(workload::kLoopCount - 1) +
                       " do\n"
                       "  if i % 3 == 0 then s = s + i / 2 else s = s + i * 2 end\n"
                       "end\n"
                       "result = s\n");
    for (auto _ : state) chunk.run(state);
}
BENCHMARK(BM_W1_lua)->Unit(benchmark::kMillisecond);

// As the qx workload, with kProgramsAlive loaded chunks kept alive beside the one being loaded.
void BM_W4_lua(benchmark::State& state) {
    const std::string text = workload::luaScript(workload::kScriptLines);
    lua_State* L = luaL_newstate();
    luaL_openlibs(L);
    for (int k = 0; k < workload::kProgramsAlive; ++k) {
        if (luaL_loadstring(L, text.c_str()) != LUA_OK) state.SkipWithError(lua_tostring(L, -1));
        luaL_ref(L, LUA_REGISTRYINDEX);
    }
    for (auto _ : state) {
        if (luaL_loadstring(L, text.c_str()) != LUA_OK) state.SkipWithError(lua_tostring(L, -1));
        lua_pop(L, 1);
    }
    lua_close(L);
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_W4_lua)->Unit(benchmark::kMillisecond);

// The host looks the function up by name for every call and calls it protected, as the
// ordinary embedding does.
void BM_W5_lua(benchmark::State& state) {
    LuaChunk chunk(state, "function f(x) return x * x + 1 end\n");
    chunk.run(state);
    lua_State* L = chunk.L();
    for (auto _ : state) {
        double sum = 0;
        for (int k = 0; k < workload::kHostCalls; ++k) {
            lua_getglobal(L, "f");
            lua_pushnumber(L, k);
            if (lua_pcall(L, 1, 1, 0) != LUA_OK) state.SkipWithError(lua_tostring(L, -1));
            sum += lua_tonumber(L, -1);
            lua_pop(L, 1);
        }
        benchmark::DoNotOptimize(sum);
    }
}
BENCHMARK(BM_W5_lua)->Unit(benchmark::kMillisecond);

void BM_W6_lua(benchmark::State& state) {
    LuaChunk chunk(state,
                   "local function mul(a, b)\n"
                   "  local r = {}\n"
                   "  for i = 1, 3 do\n"
                   "    local ai, ri = a[i], {}\n"
                   "    for j = 1, 3 do\n"
                   "      ri[j] = ai[1] * b[1][j] + ai[2] * b[2][j] + ai[3] * b[3][j]\n"
                   "    end\n"
                   "    r[i] = ri\n"
                   "  end\n"
                   "  return r\n"
                   "end\n"
                   "local function transpose(a)\n"
                   "  return {{a[1][1], a[2][1], a[3][1]}, {a[1][2], a[2][2], a[3][2]},\n"
                   "          {a[1][3], a[2][3], a[3][3]}}\n"
                   "end\n"
                   "local function add(a, b)\n"
                   "  local r = {}\n"
                   "  for i = 1, 3 do\n"
                   "    local ai, bi = a[i], b[i]\n"
                   "    r[i] = {ai[1] + bi[1], ai[2] + bi[2], ai[3] + bi[3]}\n"
                   "  end\n"
                   "  return r\n"
                   "end\n"
                   "local function det(m)\n"
                   "  return m[1][1]*m[2][2]*m[3][3] + m[1][2]*m[2][3]*m[3][1]\n"
                   "       + m[1][3]*m[2][1]*m[3][2] - m[1][1]*m[2][3]*m[3][2]\n"
                   "       - m[1][2]*m[2][1]*m[3][3] - m[1][3]*m[2][2]*m[3][1]\n"
                   "end\n"
                   "local a = {{2, 0, 1}, {1, 3, 2}, {1, 1, 2}}\n"
                   "local b = {{1, 2, 0}, {0, 1, 1}, {2, 0, 1}}\n"
                   "local s = 0\n"
                   "for k = 1, " +
                       std::to_string(workload::kSmallIterations) +
                       " do\n"
                       "  local c = mul(a, b)\n"
                       "  local d = add(transpose(c), a)\n"
                       "  s = s + det(d)\n"
                       "end\n"
                       "result = s\n");
    for (auto _ : state) chunk.run(state);
}
BENCHMARK(BM_W6_lua)->Unit(benchmark::kMillisecond);

// The host's vectors become Lua arrays before the timed loop; the loop indexes them.
void BM_W7_lua(benchmark::State& state) {
    const int n = workload::kVectorLength;
    LuaChunk chunk(state,
                   "local v, w = vector_v, vector_w\n"
                   "local s = 0\n"
                   "for i = 1, " +
                       std::to_string(n) +
                       " do s = s + v[i] * w[i] end\n"
                       "result = s\n");
    lua_State* L = chunk.L();
    const char* const names[2] = {"vector_v", "vector_w"};
    double (*const fill[2])(int, int) = {workload::elementV, workload::elementW};
    for (int k = 0; k < 2; ++k) {
        lua_createtable(L, n, 0);
        for (int i = 0; i < n; ++i) {
            lua_pushnumber(L, fill[k](i, 0));
            lua_rawseti(L, -2, i + 1);
        }
        lua_setglobal(L, names[k]);
    }
    for (auto _ : state) chunk.run(state);
}
BENCHMARK(BM_W7_lua)->Unit(benchmark::kMillisecond);

}  // namespace
