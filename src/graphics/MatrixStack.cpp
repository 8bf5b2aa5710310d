#include "graphics/MatrixStack.h"

MatrixStack::MatrixStack() : matrices{glm::mat4(1.0f)} {}

void MatrixStack::Reset() {
    matrices.resize(1);
    current = 0;
}

void MatrixStack::MultiplyPush(const glm::mat4& m) {
    matrices.push_back(matrices[current] * m);
    ++current;
}
