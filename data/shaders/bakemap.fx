// The baked map image in one pass: the drawn map (its alpha included, as a blend over
// black would), tinted by the vertex colour, times the shadow map drawn beside it in the
// same target at (shadowoffsetu, shadowoffsetv).
@param float shadowoffsetu 0.0
@param float shadowoffsetv 0.0
@technique main
@pass p0
@fragment
void main() {
  vec4 map = texture(tex0, vUV0) * vColour;
  vec3 shadow = texture(tex0, vUV0 + vec2(shadowoffsetu, shadowoffsetv)).rgb;
  fragColour = vec4(map.rgb * shadow * map.a, 1.0);
}
@end
