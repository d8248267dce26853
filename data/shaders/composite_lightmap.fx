// Lights the battle scene: the scene (stage 0) times the light map (stage 1). The light
// map holds the ambient colour plus every light drawn into it, so a dark scenario stays
// readable where lights fall and full daylight leaves the scene unchanged.
// light_scale: the part of its target the light map fills (drawn at lower resolution).
@param float light_scale 1.0
@technique main
@pass p0
@fragment
void main() {
  vec4 scene = texture(tex0, vUV0);
  vec3 light = texture(tex1, vUV0 * light_scale).rgb;
  fragColour = vec4(min(scene.rgb * light * 1.25, vec3(1.0)), 1.0);
}
@end
