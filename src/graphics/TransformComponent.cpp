#include "graphics/TransformComponent.h"

#include <cmath>

#include <glm/geometric.hpp>
#include <glm/gtc/matrix_transform.hpp>
#include <glm/mat3x3.hpp>

#include "script/ScriptHost.h"

void TransformComponent::LookAt(const glm::vec3& target, const glm::vec3& up) {
    const glm::vec3 sight = target - position;
    const float distance = glm::length(sight);
    const float upLength = glm::length(up);
    if (!(distance > 1e-6f) || !std::isfinite(distance)) {
        ScriptHost::Instance().ReportError(
            "Error in TransformComponent.LookAt: the target [%g, %g, %g] is where the object is, "
            "so there is no direction to look in.",
            target.x, target.y, target.z);
        return;
    }
    if (!(upLength > 1e-6f) || !std::isfinite(upLength) ||
        glm::length(glm::cross(sight / distance, up / upLength)) < 1e-4f) {
        ScriptHost::Instance().ReportError(
            "Error in TransformComponent.LookAt: up [%g, %g, %g] must not be zero or point "
            "along the line of sight; [0, 1, 0] is the usual up unless looking straight down.",
            up.x, up.y, up.z);
        return;
    }
    // The rotation part of the view matrix is exactly the camera's orientation.
    orientation = glm::normalize(glm::quat_cast(glm::mat3(glm::lookAt(position, target, up))));
}
