# The two commands people need: `make demo` and `make test`.
BUILD   := build
JOBS    ?= 2
NINJA   := ninja -j$(JOBS)
# --no-warn-unused-cli: a build folder configured again has its toolchain
# file cached, and CMake would warn that the one given is "not used".
CMAKE   := cmake -G Ninja -Wno-dev --no-warn-unused-cli
export WINEDEBUG := -all

.PHONY: deps build host win32 win64 standins payload package test test-host test-asan test-wine test-e2e fuzz-short demo bench fuzz clean test-stamp repro mutants

# I386=emulated runs 32-bit programs under emulation even where the kernel
# could run them (to try that path); I386=native undoes it.
I386 ?= auto
deps:
	@MIXO_I386=$(I386) bash scripts/deps.sh

host:
	@$(CMAKE) -S . -B $(BUILD)/host -DCMAKE_BUILD_TYPE=Release >/dev/null
	@$(NINJA) -C $(BUILD)/host

win32:
	@$(CMAKE) -S . -B $(BUILD)/win32 -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake >/dev/null
	@$(NINJA) -C $(BUILD)/win32

win64:
	@$(CMAKE) -S . -B $(BUILD)/win64 -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake >/dev/null
	@$(NINJA) -C $(BUILD)/win64

# The stand-ins (the maker's programs and DLLs the package carries, rebuilt
# small), one build folder per bitness; then the payload folder they make up
# with the data files, and the package built from it.
standins:
	@$(CMAKE) -S standins -B $(BUILD)/standins32 -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-i686.cmake >/dev/null
	@$(NINJA) -C $(BUILD)/standins32
	@$(CMAKE) -S standins -B $(BUILD)/standins64 -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-x86_64.cmake >/dev/null
	@$(NINJA) -C $(BUILD)/standins64

payload: standins
	@bash standins/make_payload.sh $(BUILD)

package: host payload
	@if [ ! -f $(BUILD)/package.bin ] || [ $(BUILD)/host/mixpack -nt $(BUILD)/package.bin ] || \
	    [ -n "$$(find $(BUILD)/payload -newer $(BUILD)/package.bin -print -quit)" ]; then \
	  $(BUILD)/host/mixpack build $(BUILD)/payload $(BUILD)/package.bin; \
	else echo "package: $(BUILD)/package.bin up to date"; fi

# In this order: the setup program embeds build/package.bin.
build: host standins payload package win32 win64

# Every suite, each judged on its own, ending with a table of what ran where.
# E2E=full or E2E=core chooses the Wine suites (see scripts/test_all.sh).
test: deps build
	@JOBS=$(JOBS) bash scripts/test_all.sh $(BUILD)

test-host: host
	@$(BUILD)/host/mixo_tests --gtest_brief=1
	@$(BUILD)/host/contract_tests --gtest_brief=1
	@# mixpack reads the package straight out of the built setup program.
	@$(BUILD)/host/mixpack verify $(BUILD)/win32/MixolyteSetup.exe | tail -n 1

test-asan:
	@$(CMAKE) -S . -B $(BUILD)/host-asan -DCMAKE_BUILD_TYPE=Debug -DMIXO_SANITIZE=ON >/dev/null
	@$(NINJA) -C $(BUILD)/host-asan mixo_tests contract_tests
	@$(BUILD)/host-asan/mixo_tests --gtest_brief=1
	@$(BUILD)/host-asan/contract_tests --gtest_brief=1

test-wine: win32 win64
	@bash e2e/run_contract.sh $(BUILD)

# The real MixolyteSetup.exe in Wine (e2e/scenarios/*.sh).
E2E_KEEP_PREFIXES ?= 0
# Its Windows-side helpers are targets of both cross builds.
test-e2e: win32 win64
	@E2E_KEEP_PREFIXES=$(E2E_KEEP_PREFIXES) bash e2e/run_e2e.sh $(BUILD)

# Another payload stamped into the built setup program, then signed with a
# throwaway certificate, proven on the host (a few seconds); leaves
# $(BUILD)/stamp/MixolyteSetup.exe, its signed copy and its payload
# $(BUILD)/stamp/payload for a run in Wine.
test-stamp: host package win32
	@bash scripts/stamp_proof.sh $(BUILD)

# A second build of the sources in another folder, compared byte for byte,
# and stamping compared with building through CMake (several minutes).
repro: host package win32
	@JOBS=$(JOBS) bash scripts/repro.sh $(BUILD)

fuzz-short:
	@$(CMAKE) -S . -B $(BUILD)/fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMIXO_FUZZ=ON \
	  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
	@$(NINJA) -C $(BUILD)/fuzz
	@bash fuzz/run.sh $(BUILD)/fuzz 20000

fuzz:
	@$(CMAKE) -S . -B $(BUILD)/fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMIXO_FUZZ=ON \
	  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
	@$(NINJA) -C $(BUILD)/fuzz
	@bash fuzz/run.sh $(BUILD)/fuzz 2000000

# The main job as a user sees it: install and remove through the window in
# Wine, pictures and read-backs on one page, $(BUILD)/demo/index.html.
demo: deps build
	@rm -rf $(BUILD)/demo
	@bash e2e/demo.sh $(BUILD)

bench: deps build
	@$(CMAKE) -S . -B $(BUILD)/bench -DCMAKE_BUILD_TYPE=Release -DMIXO_BENCH=ON >/dev/null
	@$(NINJA) -C $(BUILD)/bench mixo_bench
	@$(BUILD)/bench/mixo_bench
	@bash bench/install_bench.sh $(BUILD)

# Each fault of scripts/mutants.txt put into a copy of the sources alone,
# the host tests rebuilt and run there (half a minute a fault); fails when a
# fault passes every test. Not part of `make test`. MUTANT=name runs one.
mutants: host
	@/usr/bin/python3 scripts/mutants.py --build $(BUILD) --jobs $(JOBS) $(MUTANT)

clean:
	rm -rf $(BUILD)
