# The two commands of the README. Both install what is missing first.
.PHONY: demo test

demo:
	@scripts/demo

test:
	@scripts/test
