# The two commands people need: `make demo` and `make test`.
BUILD   := build
JOBS    ?= 2
NINJA   := ninja -j$(JOBS)
CMAKE   := cmake -G Ninja -Wno-dev
export WINEDEBUG := -all

.PHONY: deps build host win32 win64 payload package test test-host test-asan test-wine fuzz-short demo bench fuzz clean

deps:
	@bash scripts/deps.sh

host:
	@$(CMAKE) -S . -B $(BUILD)/host -DCMAKE_BUILD_TYPE=Release >/dev/null
	@$(NINJA) -C $(BUILD)/host

win32:
	@$(CMAKE) -S . -B $(BUILD)/win32 -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake >/dev/null
	@$(NINJA) -C $(BUILD)/win32

win64:
	@$(CMAKE) -S . -B $(BUILD)/win64 -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake >/dev/null
	@$(NINJA) -C $(BUILD)/win64

payload: host
	@rm -rf $(BUILD)/payload
	@$(BUILD)/host/gen_payload $(BUILD)/payload

package: payload
	@$(BUILD)/host/mixpack build $(BUILD)/payload $(BUILD)/package.bin

build: host win32 win64 package

test: deps build test-host test-asan test-wine fuzz-short
	@echo "make test: all suites passed"

test-host: host
	@$(BUILD)/host/mixo_tests --gtest_brief=1
	@$(BUILD)/host/contract_tests --gtest_brief=1

test-asan:
	@$(CMAKE) -S . -B $(BUILD)/host-asan -DCMAKE_BUILD_TYPE=Debug -DMIXO_SANITIZE=ON >/dev/null
	@$(NINJA) -C $(BUILD)/host-asan mixo_tests contract_tests
	@$(BUILD)/host-asan/mixo_tests --gtest_brief=1
	@$(BUILD)/host-asan/contract_tests --gtest_brief=1

test-wine: win32 win64
	@bash e2e/run_contract.sh $(BUILD)

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

demo: deps build
	@rm -rf $(BUILD)/demo
	@$(BUILD)/host/mixpack extract $(BUILD)/package.bin $(BUILD)/demo

bench: deps
	@$(CMAKE) -S . -B $(BUILD)/bench -DCMAKE_BUILD_TYPE=Release -DMIXO_BENCH=ON >/dev/null
	@$(NINJA) -C $(BUILD)/bench mixo_bench
	@$(BUILD)/bench/mixo_bench

clean:
	rm -rf $(BUILD)
