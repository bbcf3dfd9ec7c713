# Thin wrapper over the scripts; see README.md.
.PHONY: run test build sanitize clean
run:
	scripts/run.sh
test:
	scripts/test.sh
build:
	scripts/build.sh build
sanitize:
	.ci/sanitize.sh
clean:
	rm -rf build build-asan build-tsan
