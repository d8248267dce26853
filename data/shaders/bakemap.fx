// The baked map image in one pass: the drawn map (its alpha included, as a blend over
// black would), tinted by the vertex colour, times the shadow map: the default image
// (stage 1, maybe mirrored) under the path layer drawn beside the map in the same target.
@param float layeroffsetu 0.0
@param float layeroffsetv 0.0
@param float defaultscaleu 1.0
@param float defaultscalev 1.0
@param float defaultflipu 0.0
@param float defaultflipv 0.0
@technique main
@pass p0
@fragment
void main() {
  vec4 map = texture(tex0, vUV0) * vColour;
  vec4 layer = texture(tex0, vUV0 + vec2(layeroffsetu, layeroffsetv));
  vec2 d = vUV0 * vec2(defaultscaleu, defaultscalev);
  d = mix(d, vec2(1.0) - d, vec2(defaultflipu, defaultflipv));
  vec3 shadow = layer.rgb + texture(tex1, d).rgb * (1.0 - layer.a);
  fragColour = vec4(map.rgb * shadow * map.a, 1.0);
}
@end
